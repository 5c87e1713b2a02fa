#pragma once

#include "gamma/GammaTable.h"

namespace tonedesk {

class CProjectorLink;

// Queues the transfer entries of a gamma write (GammaTransferEntries) on the link's current
// port, each with answer kind Transfer and the pause flag. Returns false when the link refused
// one (no port); nothing after it is queued.
bool QueueGammaTables(CProjectorLink& link, int bank, const GammaTable& table, int channel);

} // namespace tonedesk
