#pragma once

#include "support/Clock.h"

namespace tonedesk {

class CProjectorLink;

// Sleeps until the link has work: an open port's descriptor turns readable or the link's next
// deadline comes; at most `longestMs`. For loops that call Service without an event loop: they
// neither spin nor wake every millisecond while the projector is silent.
void WaitForLinkWork(const CProjectorLink& link, const Clock& clock, Tick longestMs);

} // namespace tonedesk
