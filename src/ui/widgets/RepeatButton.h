#pragma once

#include "support/Clock.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

class QAbstractButton;

namespace tonedesk {

// Turns a held-down push button into a stream of clicks: one repeat for every full interval the
// button is held (the first one interval after the press), then the ordinary click of the
// release. Repeats are posted as the button's clicked signal, so they reach the same handlers.
class CRepeatButton : public QObject {
    Q_OBJECT
public:
    // clock: the time the repeats are counted on; null for the steady clock.
    explicit CRepeatButton(std::int32_t intervalMs, const Clock* clock = nullptr);

    // Attaches to `button`, which then owns this object.
    void Attach(QAbstractButton* button);

    std::int32_t Interval() const { return interval_; }
    bool IsHeld() const { return held_; }
    // Posts the repeats that are due by now (the timer's work).
    void PostDueRepeats();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::int32_t interval_;
    const Clock& clock_;
    QAbstractButton* button_ = nullptr;
    QTimer timer_;
    bool held_ = false;
    Tick pressTick_ = 0;
    std::uint32_t posted_ = 0;
};

} // namespace tonedesk
