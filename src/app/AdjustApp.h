#pragma once

#include "support/Clock.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QLockFile;

namespace tonedesk {

class CBitmapWindow;
class CMainFrame;
class ResourceBundle;

// The application: loads the resource bundle, makes sure one copy runs, creates the hidden
// start-up window and the hidden main frame, starts the port scan and, at the first idle moment,
// hands over to the start-to-exit sequence.
class CAdjustApp : public QObject {
    Q_OBJECT
public:
    // Leads the user from the first idle moment to the end of the program.
    using Sequence = std::function<void(CAdjustApp&)>;

    CAdjustApp();
    ~CAdjustApp() override;

    // Start-up; false ends the program at once (another copy runs).
    bool InitInstance();
    // The idle work: starts the sequence once, at the first idle moment after start-up at which
    // the scan has ended or the clock has moved on.
    void OnIdle();

    // The about command (57664): runs the about box.
    void OnAppAbout();

    CMainFrame* Frame() const { return frame_.get(); }
    // The application title, "Vanto Tonedesk".
    static QString Title();
    // The lock file that marks a running copy.
    static QString InstanceLockPath();

    // The start-to-exit sequence; until the connection dialog is built it ends the program.
    static void SetSequence(Sequence sequence);

private:
    void LoadBundle();

    std::unique_ptr<ResourceBundle> ownResources_;
    std::unique_ptr<ResourceBundle> bundle_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<CBitmapWindow> startupWindow_;
    std::unique_ptr<CMainFrame> frame_;
    SteadyClock clock_;
    Tick startTick_ = 0;
    QTimer idleTimer_;
};

} // namespace tonedesk
