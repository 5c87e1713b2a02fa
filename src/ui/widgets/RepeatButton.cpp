#include "ui/widgets/RepeatButton.h"

#include <QAbstractButton>
#include <QMouseEvent>

namespace tonedesk {

namespace {

const Clock& DefaultClock() {
    static const SteadyClock clock;
    return clock;
}

} // namespace

CRepeatButton::CRepeatButton(std::int32_t intervalMs, const Clock* clock)
    : interval_(intervalMs > 0 ? intervalMs : 1), clock_(clock ? *clock : DefaultClock()) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CRepeatButton::PostDueRepeats);
}

void CRepeatButton::Attach(QAbstractButton* button) {
    button_ = button;
    setParent(button);
    button->installEventFilter(this);
}

void CRepeatButton::PostDueRepeats() {
    if (!held_ || !button_) {
        return;
    }
    const std::uint32_t due = (clock_.Now() - pressTick_) / static_cast<std::uint32_t>(interval_);
    for (; posted_ < due; ++posted_) {
        QMetaObject::invokeMethod(button_, "clicked", Qt::QueuedConnection, Q_ARG(bool, false));
    }
}

bool CRepeatButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == button_) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                button_->isEnabled()) {
                held_ = true;
                pressTick_ = clock_.Now();
                posted_ = 0;
                timer_.start(interval_);
            }
        } else if (type == QEvent::MouseButtonRelease) {
            if (held_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                PostDueRepeats();
                held_ = false;
                timer_.stop();
            }
        } else if (type == QEvent::EnabledChange || type == QEvent::Hide) {
            held_ = false;
            timer_.stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tonedesk
