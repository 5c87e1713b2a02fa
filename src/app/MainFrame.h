#pragma once

#include "link/ProjectorLink.h"
#include "support/Notifier.h"
#include "support/TextString.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tonedesk {

class Clock;
class Settings;
class SerialPortFactory;

// Command ids the dialogs route to the frame.
inline constexpr int kCommandGammaDialog = 20000;
inline constexpr int kCommandOpenSettings = 57601;
inline constexpr int kCommandSaveSettingsAs = 57604;

// Message ids of the string table used by the frame.
inline constexpr int kMessageOtherProjector = 4098;
inline constexpr int kMessageShortSettingsLines = 4110;
// The settings-file filter of the string table.
inline constexpr int kStringSettingsFilter = 2052;

// The program's main window: never shown. It owns the projector link for the whole run and
// drives it from a 1 ms timer, and handles the commands the dialogs route to it.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Asks the user for a file: an open or save dialog with the filter text and the initial
    // path; the chosen path, or nothing when the user cancelled.
    using FileChooser = std::function<std::optional<std::string>(
        bool openDialog, const std::string& filterText, const std::string& initialPath)>;
    // Runs the gamma editor modally for this frame.
    using GammaDialogRunner = std::function<void(CMainFrame&)>;

    // The program's frame: the user's profile, the steady clock, the machine's serial ports and
    // message boxes.
    CMainFrame();
    // A frame on the given services (tests); they must outlive the frame.
    CMainFrame(Settings& settings, const Clock& clock, SerialPortFactory& ports,
               Notifier& notifier);
    ~CMainFrame() override;

    // Starts a new scan of the ports and the 1 ms service timer.
    void StartScan();
    // Reads the model file for the projector name. Negative (after telling the user) when it
    // cannot be read; 0 on success.
    int LoadModel(const std::string& name);

    // Whether a command is enabled now: 20000, 57601 and 57604 need the projector switched on
    // ("POWR" 1); 57601 and 57604 also need no save in progress.
    bool IsCommandEnabled(int command);
    // Runs an enabled command; false when it is unknown or disabled.
    bool OnCommand(int command);
    // The timer's work: one service of the link.
    void OnTimer();
    // The cursor the frame shows now.
    CursorShape CurrentCursor() const;

    CProjectorLink& Link() { return *link_; }
    Settings& Profile() { return settings_; }
    Notifier& Notices() { return notifier_; }
    QTimer& ServiceTimer() { return timer_; }

    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Where a plain text is shown to the user (the model-file failure); a message box unless
    // replaced.
    void SetTextReporter(std::function<void(const QString&)> report) {
        reportText_ = std::move(report);
    }
    // The gamma editor, once it is built, registers here.
    static void SetGammaDialogRunner(GammaDialogRunner runner);

    // State the dialogs and the control panel read and write.
    CTextString settingsFilePath;
    std::int32_t saveInProgress = 0;
    std::int32_t closing = 0;
    std::int32_t interactionBits = 0; // bit 0: a slider is being dragged
    std::string projectorName;        // as given to LoadModel, at most 63 characters

signals:
    // The frame accepted a close: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct OwnServices;
    explicit CMainFrame(OwnServices* own);
    CMainFrame(std::unique_ptr<OwnServices> own, Settings& settings, const Clock& clock,
               SerialPortFactory& ports, Notifier& notifier);

    void OpenSettingsFile();
    void SaveSettingsFileAs();
    void RunGammaDialog();
    bool ProjectorOn();
    bool CloseMustWait() const;

    std::unique_ptr<OwnServices> own_;
    Settings& settings_;
    Notifier& notifier_;
    std::unique_ptr<CProjectorLink> link_;
    QTimer timer_;
    int timerDepth_ = 0;
    FileChooser chooseFile_;
    std::function<void(const QString&)> reportText_;
};

} // namespace tonedesk
