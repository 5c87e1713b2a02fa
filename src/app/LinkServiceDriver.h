#pragma once

#include "app/ProgramCursor.h"
#include "support/Clock.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

class QSocketNotifier;

namespace tonedesk {

class CProjectorLink;

// Runs the link's service when the link has work, and only then: when the descriptor of an
// open port turns readable (bytes arrived, the line hung up) and when the link's next deadline
// comes (a pause or an answer time-out ends, a partial write goes on, a port without a
// descriptor is due for its poll). An idle link costs no wake-ups, however many ports are open.
//
// A service that opens a message box runs an event loop of its own: while it runs, nothing
// else is serviced (the descriptors are not watched) until the service returns.
//
// The driver also owns the program's cursor: after every service and every change of the link
// it shows the shape its owner asks for, so the busy cursor appears over every window when the
// link turns busy and goes when it turns idle.
class LinkServiceDriver : public QObject {
    Q_OBJECT
public:
    using CursorSource = std::function<CursorShape()>;

    // `service` is the work done for the link (at least its Service); `cursor` gives the shape
    // the program shows now. The link and the clock must outlive the driver.
    LinkServiceDriver(CProjectorLink& link, const Clock& clock, std::function<void()> service,
                      CursorSource cursor, QObject* parent = nullptr);
    ~LinkServiceDriver() override;

    // Starts watching the link (again); its first service follows at once when the link has
    // work.
    void Start();
    // Stops watching: no service runs until the next Start, and the program's cursor goes.
    void Stop();
    bool IsRunning() const { return running_; }
    // A service soon, also when the link has nothing due: for work of the service's own.
    void Wake();
    // The single-shot timer of the next deadline.
    QTimer& DeadlineTimer() { return timer_; }
    // Shows the shape the cursor source gives now over every window.
    void UpdateCursor();
    // Whether the link works: a port has commands queued or awaits an answer (a scan's name
    // queries among them).
    static bool LinkWorks(const CProjectorLink& link);

private:
    void Serve();
    // Watches the descriptors the link names now, and its next deadline.
    void Rearm();
    void WatchDescriptors();
    void ArmTimer();

    CProjectorLink& link_;
    const Clock& clock_;
    std::function<void()> service_;
    CursorSource cursorSource_;
    ProgramCursor cursor_;
    QTimer timer_;
    std::map<int, QSocketNotifier*> notifiers_; // by descriptor; children of the driver
    bool running_ = false;
    int depth_ = 0; // services running (more than one only inside a message box's loop)
};

} // namespace tonedesk
