#pragma once

#include "app/AppServices.h"
#include "support/Clock.h"
#include "ui/gamma/GammaSaveDialog.h"

#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

class QLockFile;
class QWidget;

namespace tonedesk {

// The application shell's log: start-up and the start-to-exit sequence.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

class CBitmapWindow;
class CGammaDialog;
class CMainFrame;
class ResourceBundle;

// The application: loads the resource bundle, makes sure one copy runs, creates the hidden
// start-up window and the hidden main frame on the services it is given, starts the port scan
// and, at the first idle moment, hands over to the start-to-exit sequence (FirstIdle).
class CAdjustApp : public QObject {
    Q_OBJECT
public:
    // The services must outlive the application object.
    explicit CAdjustApp(const AppServices& services);
    ~CAdjustApp() override;

    // Start-up; false ends the program at once: another copy runs, or the resource bundle or
    // the profile cannot be used (the user is told, and StartFailed() says so).
    bool InitInstance();
    // Whether start-up failed for a reason the user was told of: the program ends with 1.
    bool StartFailed() const { return startFailed_; }
    // The idle work: once, at the first idle moment after start-up at which the scan has ended
    // or the clock has moved on, closes the start-up window and emits FirstIdle.
    void OnIdle();

    // The about command (57664): runs the about box over `parent` (none: on its own). F1 gives
    // it in every window of the program, and the gamma editor has a button for it.
    void OnAppAbout(QWidget* parent = nullptr);
    // The frame's gamma editor command (20000): runs the gamma editor modally on the frame's
    // link, with its button to the control panel. While the editor runs already (the control
    // panel was opened from it), closes the control panel instead, back to that editor.
    void RunGammaDialog();
    // The gamma editor that runs now, or null.
    CGammaDialog* GammaDialog() const { return gammaDialog_; }
    // The resource bundle InitInstance registers; by default lumidesk.rcc in the program's
    // folder.
    void SetBundleFile(const QString& file) { bundleFile_ = file; }
    // How the gamma editor asks for a file to save to; empty: through the prompts alone.
    void SetGammaSaveChooser(GammaSaveChooser chooser) { gammaSaveChooser_ = std::move(chooser); }
    // The service log's file from the command line (--log FILE); empty: the profile's
    // ENV/LOGFILE. Set before InitInstance.
    void SetServiceLogFile(std::string file) { serviceLogFile_ = std::move(file); }

    CMainFrame* Frame() const { return frame_.get(); }
    // The application title, "Vanto Tonedesk".
    static QString Title();
    // The lock file that marks a running copy.
    static QString InstanceLockPath();

protected:
    // F1 in any window of the program is the about command.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The first idle moment after start-up. The start-to-exit sequence connects here and leads
    // the user from now to the end of the program.
    void FirstIdle();

private:
    // Registers the bundle lumidesk.rcc of the program's folder; false (after telling the user
    // why) when it cannot be used.
    bool LoadBundle();
    // Tells the user why the program cannot start, on stderr and in a message box whose text is
    // built in (the bundle's strings may be missing), and marks the start as failed.
    void ReportStartFailure(const QString& reason, const QString& text);

    std::unique_ptr<ResourceBundle> bundle_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<CBitmapWindow> startupWindow_;
    std::unique_ptr<CMainFrame> frame_;
    AppServices services_;
    GammaSaveChooser gammaSaveChooser_;
    QString bundleFile_;
    std::string serviceLogFile_;
    CGammaDialog* gammaDialog_ = nullptr;
    bool aboutShown_ = false;
    bool startFailed_ = false;
    Tick startTick_ = 0;
    QTimer idleTimer_;
};

} // namespace tonedesk
