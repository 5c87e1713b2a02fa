// The link on a busy machine: the program may stop running for a while at any point of a pump
// (after it asked the driver for bytes, before a write went out). Time it was not running must
// not count as time the projector was silent, and an answer that arrived meanwhile is read.

#include "link/LinkFixture.h"

namespace tonedesk::test {
namespace {

using enum AnswerKind;

enum class Stall {
    ClockJump,   // before the pump: the clock moves on, the bytes are already waiting
    AfterStatus, // the driver was asked (nothing waiting); then the clock jumps, bytes arrive
    BeforeWrite, // the command's write was late: the clock jumped before its bytes went out
};

struct StallCase {
    const char* name;
    AnswerKind kind;
    std::string command;
    Stall stall;
    Tick stallMs;
    std::string first;  // bytes that arrived right after the write
    Tick quietMs;       // pumps, one a millisecond, after the write and before the stall's pump
    std::string before; // bytes that arrived before that pump
    std::string during; // bytes that arrive while the program stalls after asking the driver
    CommandEnd end;     // how the command stands two pumps later
    std::int32_t retries;
};

class StallTable : public LinkFixture, public ::testing::WithParamInterface<StallCase> {};

TEST_P(StallTable, TimeTheProgramDidNotRunIsNotSilence) {
    const StallCase& c = GetParam();
    SetEnv("REC_TIMEOUT_OFF", 500);
    Connect();
    if (c.stall == Stall::BeforeWrite) {
        line->beforeWrite = [this, &c] { clock.Advance(c.stallMs); };
    }
    const CommandId id = Queue(c.command, c.kind);
    Step();
    ASSERT_EQ(line->WrittenText(), c.command);
    line->Feed(c.first);
    ASSERT_FALSE(RunFor(c.quietMs));
    line->Feed(c.before);
    if (c.stall == Stall::AfterStatus) {
        line->afterStatus = [this, &c] {
            clock.Advance(c.stallMs);
            line->Feed(c.during);
        };
    } else if (c.stall == Stall::ClockJump) {
        clock.Advance(c.stallMs);
    }
    Step();
    Step();

    EXPECT_EQ(link->Outcome(id)->end, c.end);
    EXPECT_EQ(Retries(), c.retries);
    EXPECT_EQ(line->WrittenText(), c.command) << "written again";
    EXPECT_TRUE(notifier.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Stalls, StallTable,
    ::testing::Values(
        // The deadline passes while the program stands still, with the answer waiting.
        StallCase{"AnswerWaitingWhenTheClockJumpsPastTheDeadline", Value, "MOUT????\r",
                  Stall::ClockJump, 2000, "", 100, "7\r", "", CommandEnd::Answered, 0},
        StallCase{"AnswerArrivingAfterTheDriverWasAsked", Value, "MOUT????\r", Stall::AfterStatus,
                  300, "", 498, "", "7\r", CommandEnd::Answered, 0},
        StallCase{"RestOfAnAnswerArrivingAfterTheDriverWasAsked", Transfer, "GAMM   1\r",
                  Stall::AfterStatus, 600, "O", 400, "", "K\r", CommandEnd::Confirmed, 0},
        // The wait for the answer starts when the command went out.
        StallCase{"AnswerToALateWrite", Value, "MOUT????\r", Stall::BeforeWrite, 400, "", 300,
                  "7\r", "", CommandEnd::Answered, 0},
        // A projector that stays silent through the stall is still missing, one pump later.
        StallCase{"SilenceAcrossAStall", Value, "MOUT????\r", Stall::AfterStatus, 600, "", 498, "",
                  "", CommandEnd::Pending, 1}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tonedesk::test
