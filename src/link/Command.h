#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tonedesk {

// What kind of answer a command expects.
enum class AnswerKind : std::int32_t {
    Plain = 0,    // "OK" or "ERR"
    Value = 1,    // a number, stored in the status table under the command's code
    Text = 2,     // lines, the last ended by EOT, collected in the port's text answer
    Identify = 4, // the projector's name
    Transfer = 8, // "OK" or "ERR"; RETRY rejections drop the queue with message 4105
};

// Names one queued command, so that its outcome can be read later; 0 is none. Every command
// queued gets the next number.
using CommandId = std::uint64_t;

// How a queued command ended.
enum class CommandEnd : std::int32_t {
    Pending,   // queued or awaiting its answer
    Confirmed, // answered "OK"
    Answered,  // moved on at another answer line (a value, a name, a text or anything else)
    Rejected,  // answered "ERR" RETRY times
    Dropped,   // its queue was dropped or its port closed before it ended
};

// The record of one queued command.
struct CommandOutcome {
    CommandId id = 0;
    AnswerKind kind = AnswerKind::Plain;
    CommandEnd end = CommandEnd::Pending;
    std::string answer; // the answer line it ended with ("ERR" when rejected); empty when none
};

// Outcomes kept by the link: those of the most recently queued commands.
inline constexpr std::size_t kOutcomesKept = 256;

struct QueuedCommand {
    CommandId id = 0;
    std::int32_t offset = 0; // start of its bytes in the send buffer
    std::int32_t sent = 0;   // bytes already written
    std::int32_t length = 0;
    AnswerKind kind = AnswerKind::Plain;
    bool pause = false; // not sooner than 50 ms after the previous answer
};

} // namespace tonedesk
