#include "support/Clock.h"

#include <chrono>

namespace tonedesk {

Tick SteadyClock::Now() const {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<Tick>(static_cast<std::uint64_t>(ms));
}

} // namespace tonedesk
