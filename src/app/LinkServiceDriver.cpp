#include "app/LinkServiceDriver.h"

#include "link/ProjectorLink.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tonedesk {

LinkServiceDriver::LinkServiceDriver(CProjectorLink& link, const Clock& clock,
                                     std::function<void()> service, CursorSource cursor,
                                     QObject* parent)
    : QObject(parent), link_(link), clock_(clock), service_(std::move(service)),
      cursorSource_(std::move(cursor)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &LinkServiceDriver::Serve);
    link_.SetChangeSink([this] {
        if (!running_) {
            return;
        }
        // A closed port's descriptor must be let go before the event loop polls it again.
        WatchDescriptors();
        if (depth_ == 0) {
            ArmTimer();
        }
        UpdateCursor(); // a command queued: busy at once
    });
}

LinkServiceDriver::~LinkServiceDriver() {
    link_.SetChangeSink({});
    Stop();
}

void LinkServiceDriver::Start() {
    running_ = true;
    Rearm();
    UpdateCursor();
}

void LinkServiceDriver::Stop() {
    running_ = false;
    timer_.stop();
    for (auto& [descriptor, notifier] : notifiers_) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifiers_.clear();
    cursor_.Show(CursorShape::Arrow);
}

void LinkServiceDriver::UpdateCursor() {
    cursor_.Show(cursorSource_());
}

bool LinkServiceDriver::LinkWorks(const CProjectorLink& link) {
    // A running scan has a name query queued or in flight on every port it still probes.
    const std::vector<PortEntry>& ports = link.Ports();
    return std::any_of(ports.begin(), ports.end(),
                       [&link](const PortEntry& port) { return link.IsBusy(&port); });
}

void LinkServiceDriver::Wake() {
    if (running_ && depth_ == 0) {
        timer_.start(0);
    }
}

void LinkServiceDriver::Serve() {
    if (depth_ > 0) {
        // A message box of the running service delivered this: it waits for that service.
        timer_.stop();
        return;
    }
    ++depth_;
    // Not watched while the service runs: a descriptor that stays readable during a message box
    // of the service would wake the loop without end.
    for (auto& [descriptor, notifier] : notifiers_) {
        notifier->setEnabled(false);
    }
    service_();
    --depth_;
    Rearm();
    if (running_) {
        UpdateCursor();
    }
}

void LinkServiceDriver::Rearm() {
    if (!running_) {
        return;
    }
    WatchDescriptors();
    ArmTimer();
}

void LinkServiceDriver::WatchDescriptors() {
    const std::vector<int> descriptors = link_.ReadinessDescriptors();
    for (auto it = notifiers_.begin(); it != notifiers_.end();) {
        if (std::find(descriptors.begin(), descriptors.end(), it->first) == descriptors.end()) {
            // Possibly the notifier whose signal runs this service: deleted later.
            it->second->setEnabled(false);
            it->second->deleteLater();
            it = notifiers_.erase(it);
        } else {
            ++it;
        }
    }
    for (const int descriptor : descriptors) {
        QSocketNotifier*& notifier = notifiers_[descriptor];
        if (!notifier) {
            notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, &LinkServiceDriver::Serve);
        }
        notifier->setEnabled(depth_ == 0);
    }
}

void LinkServiceDriver::ArmTimer() {
    const std::optional<Tick> due = link_.NextDeadline();
    if (!due) {
        timer_.stop();
        return;
    }
    const auto wait = static_cast<std::int32_t>(*due - clock_.Now());
    timer_.start(std::max(wait, 0));
}

} // namespace tonedesk
