#pragma once

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
class LinkServiceDriver : public QObject {
    Q_OBJECT
public:
    // `service` is the work done for the link (at least its Service); the link and the clock
    // must outlive the driver.
    LinkServiceDriver(CProjectorLink& link, const Clock& clock, std::function<void()> service,
                      QObject* parent = nullptr);
    ~LinkServiceDriver() override;

    // Starts watching the link (again); its first service follows at once when the link has
    // work.
    void Start();
    // Stops watching: no service runs until the next Start.
    void Stop();
    bool IsRunning() const { return running_; }
    // A service soon, also when the link has nothing due: for work of the service's own.
    void Wake();
    // The single-shot timer of the next deadline.
    QTimer& DeadlineTimer() { return timer_; }

private:
    void Serve();
    // Watches the descriptors the link names now, and its next deadline.
    void Rearm();
    void WatchDescriptors();
    void ArmTimer();

    CProjectorLink& link_;
    const Clock& clock_;
    std::function<void()> service_;
    QTimer timer_;
    std::map<int, QSocketNotifier*> notifiers_; // by descriptor; children of the driver
    bool running_ = false;
    int depth_ = 0; // services running (more than one only inside a message box's loop)
};

} // namespace tonedesk
