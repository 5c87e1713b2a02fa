#pragma once

#include "app/AppServices.h"
#include "app/LinkServiceDriver.h"
#include "link/ProjectorLink.h"
#include "link/ServiceLog.h"
#include "link/SettingsFileActions.h"
#include "link/SettingsSave.h"
#include "support/Notifier.h"
#include "support/TextString.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/panel/ControlPanelTables.h"
#include "ui/widgets/ProgramIds.h"
#include "ui/widgets/UserPrompts.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tonedesk {

class CControlSheet;

// The settings-file filter of the string table.
inline constexpr int kStringSettingsFilter = 2052;

// The program's main window: never shown. It owns the projector link for the whole run and
// services it whenever it has work (bytes arrived on a port, a deadline came), holds the control
// panel of the loaded model, and handles the commands the dialogs route to it.
class CMainFrame : public QMainWindow, public ControlPanelHost {
    Q_OBJECT
public:
    // A frame on the given services; they must outlive the frame. The service log goes to
    // `logFile` (the command line's --log FILE), or when it is empty to the profile's
    // ENV/LOGFILE.
    explicit CMainFrame(const AppServices& services, const std::string& logFile = {});
    ~CMainFrame() override;

    // Starts a new scan of the ports and the servicing of the link.
    void StartScan();
    // Reads the model file for the projector name and builds the control panel's sheet (without
    // showing it). Anything but Found has been told to the user.
    ModelLookup LoadModel(const std::string& name);
    // Shows the control panel modally; false when no model has been loaded or it is open.
    bool RunControlPanel();
    // The control panel's sheet, null until a model is loaded.
    CControlSheet* ControlSheet() const { return controlSheet_.get(); }
    ControlPanelTables& PanelTables() { return panelTables_; }

    // Whether a command is enabled now: 20000, 57601 and 57604 need the projector switched on
    // ("POWR" 1); 57601 and 57604 also need no save in progress.
    bool IsCommandEnabled(int command);
    // Runs an enabled command; false when it is unknown or disabled.
    bool OnCommand(int command);
    // The work of each service: one Service of the link, then the save's progress, a close
    // that waited and the cursor.
    void OnTimer();
    // The cursor the program shows now: the hourglass while a close waits, the arrow with
    // hourglass while the link works.
    CursorShape CurrentCursor() const;

    CProjectorLink& Link() { return *link_; }
    // The record of every exchange of the session; written to the file of --log FILE or of the
    // profile's ENV/LOGFILE (none when empty).
    ServiceLog& Log() { return serviceLog_; }
    // Writes the service log when due; a file that cannot be written is reported once. Run by
    // a timer every kServiceLogPollMs while the log has a file.
    void PollServiceLog();
    Settings& Profile() { return settings_; }
    Notifier& Notices() { return notifier_; }
    UserPrompts& Prompts() { return prompts_; }
    QTimer& ServiceTimer() { return driver_.DeadlineTimer(); }

    // A settings file is being saved: the settings commands wait until it has been written.
    bool SaveInProgress() const { return saveInProgress_; }
    // A close waits for the queue or a save; the frame closes once nothing holds it.
    bool Closing() const { return closing_; }

    // State the dialogs and the control panel read and write.
    CTextString settingsFilePath;
    std::string projectorName; // as given to LoadModel, at most 63 characters

    // The control panel's host.
    CProjectorLink& PanelLink() override { return *link_; }
    std::int32_t PanelInteractionBits() const override { return interactionBits_; }
    void SetPanelDragging(bool dragging) override;
    const Clock& PanelClock() const override { return clock_; }
    UserPrompts& PanelPrompts() override { return prompts_; }
    Notifier& PanelNotifier() override { return notifier_; }
    bool RunPanelCommand(int command) override { return OnCommand(command); }
    bool IsPanelCommandEnabled(int command) override { return IsCommandEnabled(command); }
    void RunReceivedTextDialog() override;

signals:
    // The frame accepted a close: the program ends.
    void Closed();
    // The gamma editor command (20000) runs: whoever builds the gamma editor runs it modally for
    // this frame from a direct connection.
    void GammaDialogRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OpenSettingsFile();
    void SaveSettingsFileAs();
    void RunGammaDialog();
    bool ProjectorOn();
    bool CloseMustWait() const;

    // Asks for a settings file with the string table's filter.
    std::optional<std::string> ChooseSettingsFile(FileDialogMode mode,
                                                  const std::string& initialPath);

    void CloseControlSheet();

    Settings& settings_;
    const Clock& clock_;
    Notifier& notifier_;
    UserPrompts& prompts_;
    // Declared before the link, whose exchange it records.
    ServiceLog serviceLog_;
    QTimer logTimer_;
    std::unique_ptr<CProjectorLink> link_;
    // Declared after the link: the sheet's pages put their values back through it as they go.
    ControlPanelTables panelTables_;
    std::unique_ptr<CControlSheet> controlSheet_;
    int panelRuns_ = 0;      // the sheet's modal run has not returned
    bool dropSheet_ = false; // the sheet is deleted once it has
    CSettingsSave settingsSave_;
    LinkServiceDriver driver_;
    int timerDepth_ = 0;
    bool saveInProgress_ = false;
    bool closing_ = false;
    std::int32_t interactionBits_ = 0; // bit 0: a slider is being dragged
};

} // namespace tonedesk
