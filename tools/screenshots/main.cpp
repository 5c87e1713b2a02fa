// Renders the program's windows to PNG files for the documentation, on the DEMO-100 sample
// model, without a projector and without a display:
//
//   QT_QPA_PLATFORM=offscreen tonedesk-screenshots OUTPUT_FOLDER
//
// It runs from the folder of the built programs, where lumidesk.rcc and the sample models are.
#include "gamma/ui/GammaDialog.h"
#include "gamma/ui/GammaGraphView.h"
#include "link/PosixSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Clock.h"
#include "support/Notifier.h"
#include "support/Settings.h"
#include "support/ui/DialogPrompts.h"
#include "support/ui/ResourceBundle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMouseEvent>
#include <QSlider>

#include <cstdio>

namespace tonedesk {
namespace {

// The windows run without a projector: nothing is there to tell.
class QuietNotifier final : public Notifier {
public:
    void Message(int, const std::string&) override {}
    void FileError(const std::string& file, const std::string& reason) override {
        std::fprintf(stderr, "tonedesk-screenshots: %s: %s\n", file.c_str(), reason.c_str());
    }
    void SetCursorShape(CursorShape) override {}
};

bool Save(QWidget& window, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const QString file = folder + QLatin1Char('/') + name;
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "tonedesk-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

void Mouse(QWidget& widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
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
    DialogPrompts prompts;
    CProjectorLink link(settings, clock, ports, notifier);
    link.StopScanning();
    if (link.Model().ReadModelFile("DEMO-100") != 0) {
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

    editor.close();
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
