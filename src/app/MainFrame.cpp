#include "app/MainFrame.h"

#include "link/PosixSerialPort.h"
#include "link/SettingsFile.h"
#include "support/Clock.h"
#include "support/FileRead.h"
#include "support/PathName.h"
#include "support/Settings.h"
#include "support/qt/QtSettingsStore.h"
#include "support/ui/FileSelectDialog.h"
#include "support/ui/MessageNotifier.h"
#include "support/ui/ResourceBundle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>

#include <cstring>

namespace tonedesk {

namespace {

constexpr int kServiceMs = 1;
constexpr int kIconId = 128;
constexpr std::size_t kMaxFrameProjectorName = 63;

CMainFrame::GammaDialogRunner& GammaRunner() {
    static CMainFrame::GammaDialogRunner runner;
    return runner;
}

std::optional<std::string> ChooseWithDialog(bool openDialog, const std::string& filterText,
                                            const std::string& initialPath) {
    unsigned flags = kHideReadOnly | kNoTestFileCreate;
    if (!openDialog) {
        flags |= kNoReadOnlyReturn;
    }
    CFileSelectDialog dialog(openDialog, flags);
    dialog.SetupDialog(QString(), filterText, initialPath, 0);
    if (dialog.DoModal() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.GetChosenPath();
}

} // namespace

struct CMainFrame::OwnServices {
    QtSettingsStore settings;
    SteadyClock clock;
    PosixSerialPortFactory ports{settings};
    MessageNotifier notifier;
};

CMainFrame::CMainFrame() : CMainFrame(new OwnServices) {}

CMainFrame::CMainFrame(OwnServices* own)
    : CMainFrame(std::unique_ptr<OwnServices>(own), own->settings, own->clock, own->ports,
                 own->notifier) {}

CMainFrame::CMainFrame(Settings& settings, const Clock& clock, SerialPortFactory& ports,
                       Notifier& notifier)
    : CMainFrame(nullptr, settings, clock, ports, notifier) {}

CMainFrame::CMainFrame(std::unique_ptr<OwnServices> own, Settings& settings, const Clock& clock,
                       SerialPortFactory& ports, Notifier& notifier)
    : QMainWindow(nullptr), own_(std::move(own)), settings_(settings), notifier_(notifier),
      link_(std::make_unique<CProjectorLink>(settings, clock, ports, notifier)),
      chooseFile_(ChooseWithDialog), reportText_([](const QString& text) {
          QMessageBox::information(nullptr, QApplication::applicationName(), text);
      }) {
    setWindowTitle(QApplication::applicationName());
    setWindowIcon(LoadIcon(kIconId));
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kServiceMs);
    connect(&timer_, &QTimer::timeout, this, &CMainFrame::OnTimer);
}

CMainFrame::~CMainFrame() {
    timer_.stop();
    // The link's destructor closes every port that is still open.
}

void CMainFrame::SetGammaDialogRunner(GammaDialogRunner runner) {
    GammaRunner() = std::move(runner);
}

void CMainFrame::StartScan() {
    link_->ScanPorts();
    timer_.start();
}

int CMainFrame::LoadModel(const std::string& name) {
    const int result = link_->Model().ReadModelFile(name);
    if (result < 0) {
        reportText_(QStringLiteral("Failed to ReadModelFile\n"));
        return result;
    }
    // The control panel's sheet is built here once the control panel exists.
    projectorName = name.substr(0, kMaxFrameProjectorName);
    return 0;
}

bool CMainFrame::ProjectorOn() {
    // Looked up with FindOrAdd: after the first look the entry exists.
    return link_->Status().FindOrAdd(CodeKey("POWR")).value == 1;
}

bool CMainFrame::IsCommandEnabled(int command) {
    switch (command) {
    case kCommandGammaDialog:
        return ProjectorOn();
    case kCommandOpenSettings:
    case kCommandSaveSettingsAs:
        return saveInProgress == 0 && ProjectorOn();
    default:
        return false;
    }
}

bool CMainFrame::OnCommand(int command) {
    if (!IsCommandEnabled(command)) {
        return false;
    }
    switch (command) {
    case kCommandGammaDialog:
        RunGammaDialog();
        break;
    case kCommandOpenSettings:
        OpenSettingsFile();
        break;
    case kCommandSaveSettingsAs:
        SaveSettingsFileAs();
        break;
    default:
        return false;
    }
    return true;
}

void CMainFrame::RunGammaDialog() {
    if (const GammaDialogRunner& runner = GammaRunner()) {
        runner(*this);
    }
    // Once the control panel exists, its active page is asked to poll again here.
}

void CMainFrame::OnTimer() {
    // A message box opened below runs its own event loop, which delivers further ticks.
    if (timerDepth_ > 0) {
        return;
    }
    ++timerDepth_;
    if (link_->Service()) {
        notifier_.Message(kMessageQueueDropped);
        // The save cannot complete; the interaction bits belong to the control panel and stay
        // as they are.
        saveInProgress = 0;
    }
    // Only a change of shape reaches the window system; most ticks change nothing.
    const CursorShape shape = CurrentCursor();
    const Qt::CursorShape wanted = shape == CursorShape::Wait          ? Qt::WaitCursor
                                   : shape == CursorShape::AppStarting ? Qt::BusyCursor
                                                                       : Qt::ArrowCursor;
    if (cursor().shape() != wanted) {
        setCursor(wanted);
    }
    --timerDepth_;
}

CursorShape CMainFrame::CurrentCursor() const {
    if (closing) {
        return CursorShape::Wait;
    }
    const PortEntry* port = link_->CurrentPort();
    if (port && port->IsAwaitingAnswer()) {
        return CursorShape::AppStarting;
    }
    return CursorShape::Arrow;
}

void CMainFrame::OpenSettingsFile() {
    const std::string filter = LoadString(kStringSettingsFilter).toLocal8Bit().toStdString();
    for (;;) {
        const std::optional<std::string> chosen =
            chooseFile_(true, filter, EnvText(settings_, "OUTPUTPATH"));
        if (!chosen) {
            return;
        }
        settings_.WriteText(kEnvSection, "OUTPUTPATH", GetFolder(*chosen));
        std::string text;
        if (const int error = ReadWholeFile(*chosen, text); error != 0) {
            notifier_.FileError(*chosen, std::strerror(error));
            continue;
        }
        const SettingsFileContent content = ParseSettingsFile(text, projectorName);
        if (!content.forThisProjector) {
            notifier_.Message(kMessageOtherProjector);
            continue;
        }
        for (const std::string& command : content.commands) {
            link_->QueueCommand(command.data(), static_cast<std::int32_t>(command.size()),
                                AnswerKind::Plain, 0);
        }
        if (content.shortLines > 0) {
            notifier_.Message(kMessageShortSettingsLines, std::to_string(content.shortLines));
        }
        return;
    }
}

void CMainFrame::SaveSettingsFileAs() {
    const std::string filter = LoadString(kStringSettingsFilter).toLocal8Bit().toStdString();
    const std::optional<std::string> chosen =
        chooseFile_(false, filter, EnvText(settings_, "OUTPUTPATH"));
    if (!chosen) {
        return;
    }
    settingsFilePath = *chosen;
    settings_.WriteText(kEnvSection, "OUTPUTPATH", GetFolder(*chosen));
    CModelFile& model = link_->Model();
    model.saveCommands.readPosition = 0;
    model.saveCommands2.readPosition = 0;
    saveInProgress = 1;
}

bool CMainFrame::CloseMustWait() const {
    for (const PortEntry& port : link_->Ports()) {
        for (std::size_t i = port.cursor; i < port.commandQueue.size(); ++i) {
            if (saveInProgress != 0 || port.commandQueue[i].pause != 0) {
                return true;
            }
        }
    }
    return false;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The control panel's sheet is closed and deleted here once it exists.
    if (CloseMustWait()) {
        notifier_.SetCursorShape(CursorShape::Wait);
        closing = 1;
        event->ignore();
        return;
    }
    timer_.stop();
    event->accept();
    emit Closed();
}

} // namespace tonedesk
