#include "link/GammaQueue.h"

#include "gamma/GammaTransfer.h"

#include <cstdio>

namespace tonedesk {

namespace {

// Longest part of an answer shown in a problem's description.
constexpr std::size_t kAnswerShown = 40;

// The answer as the user can read it: cut, and bytes outside printable ASCII as \xNN.
std::string Shown(const std::string& answer) {
    std::string text;
    for (std::size_t i = 0; i < answer.size() && i < kAnswerShown; ++i) {
        const auto b = static_cast<unsigned char>(answer[i]);
        if (b >= 32 && b < 127 && b != '\\' && b != '"') {
            text += static_cast<char>(b);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    if (answer.size() > kAnswerShown) {
        text += "... (" + std::to_string(answer.size()) + " characters)";
    }
    return text;
}

} // namespace

GammaWrite QueueGammaTables(CProjectorLink& link, int bank, const GammaTable& table, int channel,
                            PortEntry* port) {
    GammaWrite write;
    const std::vector<ByteBuffer> entries = GammaTransferEntries(bank, table, channel);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ByteBuffer& entry = entries[i];
        // The entries come in pairs, announce then data, channel by channel and half by half.
        const int pair = static_cast<int>(i / 2);
        const int block =
            GammaBlockNumber(bank, channel == kAllChannels ? pair / 2 : channel, pair % 2);
        const bool data = i % 2 == 1;
        const CommandId id =
            link.QueueCommand(entry.data(), static_cast<std::int32_t>(entry.size()),
                              AnswerKind::Transfer, true, port);
        if (id == 0) {
            return write;
        }
        write.entries.push_back({id, block, data});
    }
    write.queued = true;
    return write;
}

bool GammaWriteSummary::Confirmed() const {
    return queued && finished && problems.empty();
}

GammaWriteSummary SummariseGammaWrite(const CProjectorLink& link, const GammaWrite& write) {
    GammaWriteSummary summary;
    summary.queued = write.queued;
    summary.entries = write.entries.size();
    for (const GammaWriteEntry& entry : write.entries) {
        const auto outcome = link.Outcome(entry.id);
        if (outcome && outcome->end == CommandEnd::Pending) {
            summary.finished = false;
        } else if (!outcome || outcome->end != CommandEnd::Confirmed) {
            summary.problems.push_back({entry, outcome ? std::optional(outcome->end) : std::nullopt,
                                        outcome ? outcome->answer : std::string()});
        }
    }
    return summary;
}

std::string DescribeGammaWriteProblem(const GammaWriteProblem& problem) {
    std::string text = "block " + std::to_string(problem.entry.block) +
                       (problem.entry.data ? " data: " : " announce: ");
    if (!problem.end) {
        return text + "no record left";
    }
    switch (*problem.end) {
    case CommandEnd::Pending:
        return text + "not answered yet";
    case CommandEnd::Confirmed:
        return text + "confirmed";
    case CommandEnd::Answered:
        return text + "answered \"" + Shown(problem.answer) + "\" instead of OK";
    case CommandEnd::Rejected:
        return text + "rejected (" + Shown(problem.answer) + ")";
    case CommandEnd::Dropped:
        return text + "not delivered, the queue was dropped";
    }
    return text;
}

} // namespace tonedesk
