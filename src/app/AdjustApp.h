#pragma once

#include "app/AppServices.h"
#include "ui/gamma/GammaSaveDialog.h"
#include "support/Clock.h"

#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <memory>

class QLockFile;

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

    // Start-up; false ends the program at once: another copy runs, or the profile cannot be
    // read (the user is told).
    bool InitInstance();
    // The idle work: once, at the first idle moment after start-up at which the scan has ended
    // or the clock has moved on, closes the start-up window and emits FirstIdle.
    void OnIdle();

    // The about command (57664): runs the about box.
    void OnAppAbout();
    // The frame's gamma editor command (20000): runs the gamma editor modally on the frame's
    // link, with its button to the control panel. While the editor runs already (the control
    // panel was opened from it), closes the control panel instead, back to that editor.
    void RunGammaDialog();
    // The gamma editor that runs now, or null.
    CGammaDialog* GammaDialog() const { return gammaDialog_; }
    // How the gamma editor asks for a file to save to; empty: through the prompts alone.
    void SetGammaSaveChooser(GammaSaveChooser chooser) { gammaSaveChooser_ = std::move(chooser); }

    CMainFrame* Frame() const { return frame_.get(); }
    // The application title, "Vanto Tonedesk".
    static QString Title();
    // The lock file that marks a running copy.
    static QString InstanceLockPath();

signals:
    // The first idle moment after start-up. The start-to-exit sequence connects here and leads
    // the user from now to the end of the program.
    void FirstIdle();

private:
    void LoadBundle();

    std::unique_ptr<ResourceBundle> ownResources_;
    std::unique_ptr<ResourceBundle> bundle_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<CBitmapWindow> startupWindow_;
    std::unique_ptr<CMainFrame> frame_;
    AppServices services_;
    GammaSaveChooser gammaSaveChooser_;
    CGammaDialog* gammaDialog_ = nullptr;
    Tick startTick_ = 0;
    QTimer idleTimer_;
};

} // namespace tonedesk
