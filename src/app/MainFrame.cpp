#include "app/MainFrame.h"

#include "support/Settings.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/MessageNotifier.h"
#include "ui/widgets/ReceivedTextDialog.h"
#include "ui/widgets/ResourceBundle.h"

#include <QApplication>
#include <QCloseEvent>

namespace tonedesk {

namespace {

constexpr std::size_t kMaxFrameProjectorName = 63;
// The service log's buffer is looked at this often: no line waits much longer than its 200 ms.
constexpr int kServiceLogPollMs = 50;

} // namespace

CMainFrame::CMainFrame(const AppServices& services, const std::string& logFile)
    : QMainWindow(nullptr), settings_(services.settings), clock_(services.clock),
      notifier_(services.notifier), prompts_(services.prompts), serviceLog_(services.clock),
      link_(std::make_unique<CProjectorLink>(services.settings, services.clock, services.ports,
                                             services.notifier)),
      driver_(
          *link_, services.clock, [this] { OnTimer(); }, [this] { return CurrentCursor(); }, this) {
    setWindowTitle(QApplication::applicationName());
    setWindowIcon(LoadIcon(kIconProgram));
    link_->SetExchangeSink(serviceLog_.Sink());
    serviceLog_.SetFile(logFile.empty() ? settings_.GetText(kEnvSection, "LOGFILE", "") : logFile);
    if (!serviceLog_.File().empty()) {
        connect(&logTimer_, &QTimer::timeout, this, &CMainFrame::PollServiceLog);
        logTimer_.start(kServiceLogPollMs);
    }
}

void CMainFrame::PollServiceLog() {
    serviceLog_.Poll();
    if (const std::string reason = serviceLog_.TakeWarning(); !reason.empty()) {
        notifier_.FileError(serviceLog_.File(), reason);
    }
}

CMainFrame::~CMainFrame() {
    driver_.Stop();
    // The control panel's sheet goes first, while the link and the tables are there.
    // The link's destructor closes every port that is still open.
}

void CMainFrame::StartScan() {
    link_->ScanPorts();
    driver_.Start();
}

ModelLookup CMainFrame::LoadModel(const std::string& name) {
    // The pages of a sheet built before work on the model that is read now.
    CloseControlSheet();
    panelTables_.Clear();
    const ModelLookup result = link_->Model().ReadModelFile(name);
    if (result != ModelLookup::Found) {
        prompts_.ShowText(QStringLiteral("Failed to ReadModelFile\n"));
        return result;
    }
    projectorName = name.substr(0, kMaxFrameProjectorName);
    panelTables_.Prepare(link_->Model());
    controlSheet_ = std::make_unique<CControlSheet>(*this, panelTables_);
    return ModelLookup::Found;
}

bool CMainFrame::RunControlPanel() {
    if (!controlSheet_ || controlSheet_->isVisible()) {
        return false;
    }
    ++panelRuns_;
    controlSheet_->DoModal();
    --panelRuns_;
    if (panelRuns_ == 0 && dropSheet_) {
        dropSheet_ = false;
        controlSheet_.reset();
    }
    return true;
}

void CMainFrame::CloseControlSheet() {
    if (!controlSheet_) {
        return;
    }
    if (controlSheet_->isVisible()) {
        controlSheet_->reject();
    }
    if (panelRuns_ > 0) {
        dropSheet_ = true; // deleted once its modal run has returned
        return;
    }
    controlSheet_.reset();
}

void CMainFrame::SetPanelDragging(bool dragging) {
    if (dragging) {
        interactionBits_ |= 1;
    } else {
        interactionBits_ &= ~1;
    }
}

void CMainFrame::RunReceivedTextDialog() {
    CReceivedTextDialog dialog(*link_);
    dialog.DoModal();
}

bool CMainFrame::ProjectorOn() {
    // Looked up with FindOrAdd: after the first look the entry exists.
    return link_->Status().FindOrAdd(CodeKey("POWR")).value == 1;
}

bool CMainFrame::IsCommandEnabled(int command) {
    switch (command) {
    case kCommandGammaDialog:
        return ProjectorOn();
    case kCommandFileOpen:
    case kCommandFileSaveAs:
        return !saveInProgress_ && ProjectorOn();
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
    case kCommandFileOpen:
        OpenSettingsFile();
        break;
    case kCommandFileSaveAs:
        SaveSettingsFileAs();
        break;
    default:
        return false;
    }
    return true;
}

void CMainFrame::RunGammaDialog() {
    // The connected slot runs the gamma editor modally: it has closed when emit returns.
    emit GammaDialogRequested();
    // The gamma editor queued its own commands meanwhile: the visible page polls the projector
    // afresh.
    if (controlSheet_) {
        if (CTabPage* page = controlSheet_->ActivePage()) {
            page->refreshStamp = 0;
        }
    }
}

void CMainFrame::OnTimer() {
    // A message box opened below runs its own event loop, which delivers further ticks.
    if (timerDepth_ > 0) {
        return;
    }
    ++timerDepth_;
    const bool dropped = link_->Service();
    // What the service left shows at once, also while a message below is open.
    driver_.UpdateCursor();
    if (dropped) {
        notifier_.Message(kMessageQueueDropped);
        // The save cannot complete; the interaction bits belong to the control panel and stay
        // as they are.
        settingsSave_.Abandon();
        saveInProgress_ = false;
    } else if (const SaveState save = settingsSave_.Poll(*link_, notifier_);
               save != SaveState::Running && save != SaveState::Idle) {
        saveInProgress_ = false;
    }
    // A close that waited for the queue or a save is taken up again once nothing holds it.
    if (closing_ && !CloseMustWait()) {
        --timerDepth_;
        close();
        return;
    }
    // Only a change of shape reaches the window system; most ticks change nothing.
    ShowWindowCursor(*this, CurrentCursor());
    --timerDepth_;
}

CursorShape CMainFrame::CurrentCursor() const {
    if (closing_) {
        return CursorShape::Wait;
    }
    return LinkServiceDriver::LinkWorks(*link_) ? CursorShape::AppStarting : CursorShape::Arrow;
}

std::optional<std::string> CMainFrame::ChooseSettingsFile(FileDialogMode mode,
                                                          const std::string& initialPath) {
    const std::string filter = LoadString(kStringSettingsFilter).toLocal8Bit().toStdString();
    return prompts_.ChooseFile(mode, filter, initialPath);
}

void CMainFrame::OpenSettingsFile() {
    tonedesk::OpenSettingsFile(*link_, settings_, notifier_, projectorName,
                               [this](const std::string& initialPath) {
                                   return ChooseSettingsFile(FileDialogMode::Open, initialPath);
                               });
}

void CMainFrame::SaveSettingsFileAs() {
    const std::optional<std::string> chosen =
        ChooseSettingsFile(FileDialogMode::Save, EnvText(settings_, "OUTPUTPATH"));
    if (!chosen) {
        return;
    }
    settingsFilePath = *chosen;
    PrepareSettingsSave(*link_, settings_, *chosen);
    if (!settingsSave_.Start(*link_, *chosen, projectorName)) {
        notifier_.Message(kMessageQueueDropped); // no port to the projector is open
        return;
    }
    saveInProgress_ = true;
    driver_.Wake(); // a save with nothing to ask ends at the next service
}

bool CMainFrame::CloseMustWait() const {
    for (const PortEntry& port : link_->Ports()) {
        for (std::size_t i = port.cursor; i < port.commandQueue.size(); ++i) {
            if (saveInProgress_ || port.commandQueue[i].pause) {
                return true;
            }
        }
    }
    return false;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    CloseControlSheet();
    if (CloseMustWait()) {
        closing_ = true;
        driver_.UpdateCursor();
        event->ignore();
        return;
    }
    driver_.Stop();
    event->accept();
    emit Closed();
}

} // namespace tonedesk
