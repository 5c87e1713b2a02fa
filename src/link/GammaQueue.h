#pragma once

#include "gamma/GammaTable.h"
#include "link/ProjectorLink.h"

#include <optional>
#include <string>
#include <vector>

namespace tonedesk {

// One queued entry of a gamma write: the announce command of a block or the block's data.
struct GammaWriteEntry {
    CommandId id = 0;
    int block = 0;
    bool data = false; // false: the announce command "GAMM%4d\r"
};

// The entries of one gamma write, in the order queued. False when the link refused an entry
// (no port): nothing after it was queued.
struct GammaWrite {
    std::vector<GammaWriteEntry> entries;
    bool queued = false;
    explicit operator bool() const { return queued; }
};

// Queues the transfer entries of a gamma write (GammaTransferEntries) on `port` (null: the link's
// current port), each with answer kind Transfer and the pause flag. Their outcomes are read
// through SummariseGammaWrite once the link is idle again.
GammaWrite QueueGammaTables(CProjectorLink& link, int bank, const GammaTable& table, int channel,
                            PortEntry* port = nullptr);

// An entry of a gamma write that the projector did not confirm with "OK".
struct GammaWriteProblem {
    GammaWriteEntry entry;
    std::optional<CommandEnd> end; // none: the link keeps no record of it any more
    std::string answer;            // the answer line it ended with
};

// How a gamma write went, as the link recorded it.
struct GammaWriteSummary {
    bool queued = false;                     // the write queued all its entries
    std::size_t entries = 0;                 // entries the write queued
    bool finished = true;                    // none of them is still queued or awaiting its answer
    std::vector<GammaWriteProblem> problems; // ended without "OK", in the order queued
    // Every entry was queued and answered "OK": the projector took the whole write.
    bool Confirmed() const;
};

GammaWriteSummary SummariseGammaWrite(const CProjectorLink& link, const GammaWrite& write);

// One line for the user: "block 3 data: answered "X7""; the answer is cut to a few dozen
// characters and bytes that cannot be shown are written as \xNN.
std::string DescribeGammaWriteProblem(const GammaWriteProblem& problem);

} // namespace tonedesk
