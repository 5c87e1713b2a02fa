#include "link/LinkWait.h"

#include "link/ProjectorLink.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <vector>

namespace tonedesk {

void WaitForLinkWork(const CProjectorLink& link, const Clock& clock, Tick longestMs) {
    auto wait = static_cast<std::int64_t>(longestMs);
    if (const std::optional<Tick> due = link.NextDeadline()) {
        wait = std::clamp<std::int64_t>(static_cast<std::int32_t>(*due - clock.Now()), 0, wait);
    }
    if (wait == 0) {
        return;
    }
    std::vector<pollfd> watched;
    for (const int descriptor : link.ReadinessDescriptors()) {
        watched.push_back({descriptor, POLLIN, 0});
    }
    // A signal ends the wait early; the caller services and waits again.
    ::poll(watched.data(), watched.size(), static_cast<int>(wait));
}

} // namespace tonedesk
