#pragma once

#include <cstdint>

namespace tonedesk {

// Millisecond tick count of a steady clock. Ticks wrap around after about 49.7 days; every
// deadline is an absolute tick and every comparison of ticks is done on unsigned values.
using Tick = std::uint32_t;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Tick Now() const = 0;
};

// The machine's steady clock.
class SteadyClock final : public Clock {
public:
    Tick Now() const override;
};

// A clock that moves only when told: tests run on virtual time.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Tick start = 1000) : now_(start) {}
    Tick Now() const override { return now_; }
    void Set(Tick t) { now_ = t; }
    void Advance(Tick ms) { now_ += ms; }

private:
    Tick now_;
};

} // namespace tonedesk
