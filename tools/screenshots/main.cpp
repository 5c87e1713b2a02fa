// Renders the program's windows to PNG files for the documentation, on the DEMO-100 sample
// model, without a real projector and without a display:
//
//   QT_QPA_PLATFORM=offscreen tonedesk-screenshots OUTPUT_FOLDER
//
// It runs from the folder of the built programs, where lumidesk.rcc, the sample models and
// projector-sim are: the connection dialog lists two simulated projectors.
#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "link/PosixSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Clock.h"
#include "support/Notifier.h"
#include "support/Settings.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/gamma/GammaGraphView.h"
#include "ui/gamma/GammaTargetDialog.h"
#include "ui/panel/ControlSheet.h"
#include "ui/widgets/ResourceBundle.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QSlider>
#include <QTabWidget>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <list>

namespace tonedesk {
namespace {

// The windows run without a projector: nothing is there to tell.
class QuietNotifier final : public Notifier {
public:
    void Message(int, const std::string&) override {}
    void FileError(const std::string& file, const std::string& reason) override {
        std::fprintf(stderr, "tonedesk-screenshots: %s: %s\n", file.c_str(), reason.c_str());
    }
};

bool SavePicture(const QPixmap& picture, const QString& folder, const QString& name) {
    const QString file = folder + QLatin1Char('/') + name;
    if (!picture.save(file)) {
        std::fprintf(stderr, "tonedesk-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

bool Save(QWidget& window, const QString& folder, const QString& name) {
    QApplication::processEvents();
    return SavePicture(window.grab(), folder, name);
}

void Mouse(QWidget& widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
    QApplication::processEvents();
}

// Drags with the mouse from one point of the graph to another, in the graph's own pixels.
void Drag(CGammaGraphView& view, QPoint from, QPoint to) {
    Mouse(view, QEvent::MouseButtonPress, view.ToWidget(from));
    for (int step = 1; step <= 8; ++step) {
        Mouse(view, QEvent::MouseMove, view.ToWidget(from + (to - from) * step / 8));
    }
    Mouse(view, QEvent::MouseButtonRelease, view.ToWidget(to));
}

// Answers no question (the connection dialog asks none while it lists projectors), but chooses
// `file` in the file dialog when one is set.
class NoPrompts final : public UserPrompts {
public:
    std::optional<std::string> ChooseFile(FileDialogMode, const std::string&, const std::string&,
                                          const QString& = {}, int* = nullptr) override {
        return file;
    }
    void ShowText(const QString& text, const QString& = {}) override {
        std::fprintf(stderr, "tonedesk-screenshots: %s\n", qPrintable(text));
    }
    bool AskYesNo(const QString&, const QString& = {}) override { return false; }

    std::optional<std::string> file;
};

// A .cal file as a measurement leaves it: each channel's video curve bent a little its own way,
// 33 rows.
std::string MeasuredCalText() {
    std::string text = "CAL\n\nDESCRIPTOR \"measured\"\nDEVICE_CLASS \"DISPLAY\"\n"
                       "COLOR_REP \"RGB\"\nNUMBER_OF_FIELDS 4\nBEGIN_DATA_FORMAT\n"
                       "RGB_I RGB_R RGB_G RGB_B\nEND_DATA_FORMAT\nNUMBER_OF_SETS 33\nBEGIN_DATA\n";
    for (int k = 0; k <= 32; ++k) {
        const double x = k / 32.0;
        const double bend = std::sin(3.14159265358979 * x);
        char line[128];
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f\n", x, x * 0.96 + 0.05 * bend,
                      x - 0.03 * bend, x * 0.9 - 0.06 * bend * x);
        text += line;
    }
    return text + "END_DATA\n";
}

// Simulated projectors on pseudo-terminals, ended with the tool (they end when their input
// does).
class Projectors {
public:
    ~Projectors() {
        for (QProcess& sim : sims_) {
            sim.closeWriteChannel();
            if (!sim.waitForFinished(5000)) {
                sim.kill();
                sim.waitForFinished(5000);
            }
        }
    }
    // Starts one with these options; the path of its terminal, or empty.
    QString Start(const QStringList& options) {
        QProcess& sim = sims_.emplace_back();
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/projector-sim"),
                  QStringList{QStringLiteral("--stdin-exit")} + options);
        if (!sim.waitForStarted(5000)) {
            return {};
        }
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {
        }
        return QString::fromLocal8Bit(sim.readLine()).trimmed();
    }

private:
    std::list<QProcess> sims_;
};

// The connection dialog once the port scan has found two DEMO-100 projectors, on COM1 at 38400
// and on COM3 at 9600 bit/s.
bool SaveConnectDialog(const QString& folder) {
    Projectors projectors;
    const QString first = projectors.Start({});
    const QString second = projectors.Start({QStringLiteral("--baud"), QStringLiteral("9600")});
    if (first.isEmpty() || second.isEmpty()) {
        std::fprintf(stderr, "tonedesk-screenshots: projector-sim did not start\n");
        return false;
    }
    MemorySettings settings;
    settings.WriteText("PORTS", "SYSTEM", "0");
    settings.WriteText("PORTS", "COM1", first.toStdString());
    settings.WriteText("PORTS", "COM3", second.toStdString());
    SteadyClock clock;
    PosixPortHost host;
    host.port.lockFolder = QDir::tempPath().toStdString();
    PosixSerialPortFactory ports(settings, host);
    QuietNotifier notifier;
    NoPrompts quiet;
    CMainFrame frame({settings, clock, ports, notifier, quiet});
    frame.StartScan();
    CConnectDialog dialog(frame, ports);
    if (!dialog.IsBuilt()) {
        std::fprintf(stderr, "tonedesk-screenshots: the connection dialog's form is missing\n");
        return false;
    }
    dialog.show();
    auto* list = FindControl<QComboBox>(&dialog, kConnectProjectorList);
    const QDeadlineTimer deadline(30000);
    while (list && list->count() < 2 && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    if (!list || list->count() < 2) {
        std::fprintf(stderr, "tonedesk-screenshots: the scan did not find both projectors\n");
        return false;
    }
    // The list open, as the user sees it when choosing: the popup is a window of its own, drawn
    // over the dialog where it lies.
    list->setCurrentIndex(0);
    list->showPopup();
    QApplication::processEvents();
    QWidget* popup = list->view()->window();
    const QPoint popupAt = popup->mapToGlobal(QPoint()) - dialog.mapToGlobal(QPoint());
    const QRect area = dialog.rect().united(QRect(popupAt, popup->size()));
    QPixmap picture(area.size());
    picture.fill(dialog.palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawPixmap(-area.topLeft(), dialog.grab());
    painter.drawPixmap(popupAt - area.topLeft(), popup->grab());
    painter.end();
    list->hidePopup();
    dialog.reject();
    return SavePicture(picture, folder, QStringLiteral("connect.png"));
}

// Each tab of the control panel, showing what a DEMO-100 started with the values of its model
// file's comment would answer (the status table is filled as the link would fill it).
bool SaveControlPanel(const QString& folder) {
    MemorySettings settings;
    settings.WriteText("PORTS", "SYSTEM", "0");
    SteadyClock clock;
    PosixSerialPortFactory ports(settings);
    QuietNotifier notifier;
    NoPrompts quiet;
    CMainFrame frame({settings, clock, ports, notifier, quiet});
    frame.Link().StopScanning();
    if (frame.LoadModel("DEMO-100") != ModelLookup::Found || !frame.ControlSheet()) {
        std::fprintf(stderr, "tonedesk-screenshots: the control panel was not built\n");
        return false;
    }
    const std::pair<const char*, std::int32_t> answers[] = {
        {"POWR", 1}, {"MOUT", 0}, {"BRIT", 50}, {"CONT", 50}, {"SHRP", 8}, {"COLT", 6500},
        {"PMOD", 1}, {"INPT", 0}, {"MUTE", 0},  {"VOLM", 20}, {"FOCN", 0}, {"PATT", 0},
        {"FANS", 1}, {"KEYS", 0}, {"GAMA", 2},  {"TLOG", 0}};
    for (const auto& [code, value] : answers) {
        frame.Link().Status().FindOrAdd(CodeKey(code)).value = value;
    }
    CControlSheet& sheet = *frame.ControlSheet();
    sheet.show();
    bool ok = true;
    const CModelFile& model = frame.Link().Model();
    for (int i = 0; i < sheet.Tabs()->count(); ++i) {
        sheet.Tabs()->setCurrentIndex(i);
        ok = Save(sheet, folder,
                  QStringLiteral("panel-%1.png").arg(model.tabs[static_cast<std::size_t>(i)].id)) &&
             ok;
    }
    sheet.reject();
    return ok;
}

int Run(const QString& folder) {
    const QString programDir = QCoreApplication::applicationDirPath();
    ResourceBundle bundle(programDir + QStringLiteral("/lumidesk.rcc"));
    if (!bundle.IsLoaded()) {
        std::fprintf(stderr, "tonedesk-screenshots: lumidesk.rcc not found in %s\n",
                     qPrintable(programDir));
        return 1;
    }
    SetCurrentBundle(&bundle);

    // No port exists: the editor's power query is not sent and the editor is ready at once.
    MemorySettings settings;
    settings.WriteText("PORTS", "SYSTEM", "0");
    SteadyClock clock;
    PosixSerialPortFactory ports(settings);
    QuietNotifier notifier;
    NoPrompts prompts;
    CProjectorLink link(settings, clock, ports, notifier);
    link.StopScanning();
    if (link.Model().ReadModelFile("DEMO-100") != ModelLookup::Found) {
        std::fprintf(stderr, "tonedesk-screenshots: the DEMO-100 model is not in %s\n",
                     qPrintable(programDir));
        return 1;
    }

    CGammaDialog editor(link, settings, notifier, prompts);
    editor.resize(1000, 640);
    editor.show();
    editor.OnTimer();
    auto* channel = qobject_cast<QComboBox*>(editor.Control(kGammaChannel));
    auto* formula = qobject_cast<QAbstractButton*>(editor.Control(kGammaFormula));
    if (!channel || !formula || !editor.View()) {
        std::fprintf(stderr, "tonedesk-screenshots: the gamma editor's form is incomplete\n");
        return 1;
    }
    bool ok = true;

    channel->setCurrentIndex(0); // all channels linked
    editor.OnTimer();
    ok = Save(editor, folder, QStringLiteral("gamma-linked.png")) && ok;

    channel->setCurrentIndex(1); // red alone, the other two behind it
    editor.OnTimer();
    ok = Save(editor, folder, QStringLiteral("gamma-channel.png")) && ok;

    formula->click();
    editor.OnTimer();
    if (auto* exponent = qobject_cast<QSlider*>(editor.Control(kGammaExponentSlider))) {
        exponent->setValue(12);
        editor.OnTimer();
    }
    ok = Save(editor, folder, QStringLiteral("gamma-formula.png")) && ok;

    // A point pulled up between close neighbours: the spline overshoots and the curve falls.
    formula->click();
    editor.OnTimer();
    editor.OnCommand(kGammaReloadAll);
    editor.OnTimer();
    channel->setCurrentIndex(1);
    editor.OnTimer();
    Drag(*editor.View(), QPoint(150, 140), QPoint(150, 110));
    editor.OnTimer();
    ok = Save(editor, folder, QStringLiteral("gamma-falling.png")) && ok;
    // A measurement's .cal file imported into the linked bank: its channels differ, so red is
    // selected with green and blue behind it.
    const QString cal = QDir::temp().filePath(QStringLiteral("tonedesk-measured.cal"));
    if (QFile out(cal); out.open(QIODevice::WriteOnly)) {
        out.write(QByteArray::fromStdString(MeasuredCalText()));
    }
    editor.OnCommand(kGammaReloadAll);
    editor.OnTimer();
    channel->setCurrentIndex(0);
    editor.OnTimer();
    prompts.file = cal.toStdString();
    editor.OnCommand(kGammaImport);
    prompts.file.reset();
    QFile::remove(cal);
    editor.OnTimer();
    ok = Save(editor, folder, QStringLiteral("gamma-import.png")) && ok;
    editor.close();
    // The target dialog, with BT.1886 and a black level chosen.
    CGammaTargetDialog target;
    target.SelectKind(TargetKind::Bt1886);
    target.SetParameter(0.002);
    target.show();
    ok = Save(target, folder, QStringLiteral("gamma-target.png")) && ok;
    target.close();
    ok = SaveControlPanel(folder) && ok;
    ok = SaveConnectDialog(folder) && ok;
    SetCurrentBundle(nullptr);
    return ok ? 0 : 1;
}

} // namespace
} // namespace tonedesk

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tonedesk-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tonedesk-screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    return tonedesk::Run(folder);
}
