#include "link/GammaQueue.h"

#include "gamma/GammaTransfer.h"
#include "link/ProjectorLink.h"

namespace tonedesk {

bool QueueGammaTables(CProjectorLink& link, int bank, const GammaTable& table, int channel) {
    for (const ByteBuffer& entry : GammaTransferEntries(bank, table, channel)) {
        if (!link.QueueCommand(entry.data(), static_cast<std::int32_t>(entry.size()),
                               AnswerKind::Transfer, 1)) {
            return false;
        }
    }
    return true;
}

} // namespace tonedesk
