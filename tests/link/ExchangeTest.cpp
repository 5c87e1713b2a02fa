#include "link/LinkFixture.h"

#include <climits>
#include <optional>

namespace tonedesk::test {
namespace {

using enum AnswerKind;

// ---------------------------------------------------------------------------------------------
// One row per command kind and answer: what one answer line does to the command in flight.

struct AnswerCase {
    const char* name;
    AnswerKind kind;
    std::string command;
    std::string answer;
    bool busyAfter;       // the command stays (or, for Text, is still collecting)
    std::int32_t retries; // retry count after the answer
    int writes;           // times the command was written after the pump that took the answer
    std::optional<std::int32_t> status; // status entry of the command's code
    std::string name_;                  // projector name of the port
    std::string text;                   // text answer of the port
};

class AnswerTable : public LinkFixture, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTable, OneAnswerLine) {
    const AnswerCase& c = GetParam();
    Connect();
    ASSERT_TRUE(Queue(c.command, c.kind));
    Step();
    ASSERT_EQ(line->WrittenText(), c.command);
    ASSERT_TRUE(link->IsBusy());

    line->Feed(c.answer);
    Step();

    EXPECT_EQ(link->IsBusy(), c.busyAfter);
    EXPECT_EQ(Retries(), c.retries);
    EXPECT_EQ(Count(line->WrittenText(), c.command), c.writes);
    if (c.status) {
        EXPECT_EQ(StatusOf(c.command.substr(0, 4)), *c.status);
    }
    EXPECT_EQ(port->projectorName, c.name_);
    EXPECT_EQ(TextAnswer(), c.text);
    EXPECT_TRUE(notifier.messages.empty());
}

using namespace std::string_literals;
const std::string kNul("\0", 1);

INSTANTIATE_TEST_SUITE_P(
    KindByAnswer, AnswerTable,
    ::testing::Values(
        AnswerCase{"PlainOk", Plain, "MOUT   1\r", "OK\r", false, 0, 1, kNoValue, "", ""},
        AnswerCase{"PlainErr", Plain, "MOUT   1\r", "ERR\r", true, 1, 1, kNoValue, "", ""},
        AnswerCase{"PlainData", Plain, "MOUT   1\r", "7\r", false, 0, 1, kNoValue, "", ""},
        AnswerCase{"PlainEmptyLine", Plain, "MOUT   1\r", "\r", false, 0, 1, kNoValue, "", ""},
        AnswerCase{"ValueOk", Value, "MOUT????\r", "OK\r", false, 0, 1, kNoValue, "", ""},
        AnswerCase{"ValueErr", Value, "MOUT????\r", "ERR\r", true, 1, 1, kNoValue, "", ""},
        AnswerCase{"ValueNumber", Value, "MOUT????\r", "  -12\r", false, 0, 1, -12, "", ""},
        AnswerCase{"ValueNoDigits", Value, "MOUT????\r", "abc\r", false, 0, 1, 0, "", ""},
        AnswerCase{"ValueHuge", Value, "MOUT????\r", "99999999999\r", false, 0, 1, INT_MAX, "", ""},
        AnswerCase{"PowrOkStaysUncounted", Value, "POWR????\r", "OK\r", true, 0, 2, kNoValue, "",
                   ""},
        AnswerCase{"PowrValueLfIgnored", Value, "POWR????\r", "1\r\n", false, 0, 1, 1, "", ""},
        AnswerCase{"TextOk", Text, "STAT????\r", "OK\r", true, 0, 1, std::nullopt, "", "OK" + kNul},
        AnswerCase{"TextErr", Text, "STAT????\r", "ERR\r", true, 0, 1, std::nullopt, "",
                   "ERR" + kNul},
        AnswerCase{"TextEot", Text, "STAT????\r", "X\x04", false, 0, 1, std::nullopt, "",
                   "X" + kNul},
        AnswerCase{"IdentifyOk", Identify, "TNAM   1\r", "OK\r", true, 0, 2, std::nullopt, "", ""},
        AnswerCase{"IdentifyErr", Identify, "TNAM   1\r", "ERR\r", true, 0, 1, std::nullopt, "",
                   ""},
        AnswerCase{"IdentifyName", Identify, "TNAM   1\r", "PJ-100\r", false, 0, 1, std::nullopt,
                   "PJ-100", ""},
        AnswerCase{"IdentifyNameWithBlank", Identify, "TNAM   1\r", "ALT 7\r", false, 0, 1,
                   std::nullopt, "ALT 7", ""},
        AnswerCase{"TransferOk", Transfer, "GAMM   1\r", "OK\r", false, 0, 1, std::nullopt, "", ""},
        AnswerCase{"TransferErr", Transfer, "GAMM   1\r", "ERR\r", true, 1, 1, std::nullopt, "",
                   ""},
        AnswerCase{"TransferData", Transfer, "GAMM   1\r", "x\r", false, 0, 1, std::nullopt, "",
                   ""}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------
// One row per way a command ends: its outcome, and that of the command queued after it (which
// is answered "OK" whenever it is sent).

struct OutcomeCase {
    const char* name;
    AnswerKind kind;
    std::string command;
    std::string answer; // to every write of the command; empty: none
    CommandEnd end;
    std::string answerKept;
    CommandEnd nextEnd;
};

class OutcomeTable : public LinkFixture, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTable, EachCommandRecordsHowItEnded) {
    const OutcomeCase& c = GetParam();
    Connect();
    if (!c.answer.empty()) {
        line->Reply(c.command, c.answer);
    }
    line->Reply("NEXT   1\r", "OK\r");
    const CommandId id = link->QueueCommand(c.command.data(), 9, c.kind, 0);
    const CommandId next = link->QueueCommand("NEXT   1\r", 9, Plain, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(next, id + 1);
    EXPECT_EQ(link->Outcome(id)->end, CommandEnd::Pending);
    RunFor(40000);
    EXPECT_FALSE(link->IsBusy());
    const auto outcome = link->Outcome(id);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, c.kind);
    EXPECT_EQ(outcome->end, c.end);
    EXPECT_EQ(outcome->answer, c.answerKept);
    EXPECT_EQ(link->Outcome(next)->end, c.nextEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, OutcomeTable,
    ::testing::Values(OutcomeCase{"PlainOk", Plain, "MOUT   1\r", "OK\r", CommandEnd::Confirmed,
                                  "OK", CommandEnd::Confirmed},
                      OutcomeCase{"PlainOtherLine", Plain, "MOUT   1\r", "?!\r",
                                  CommandEnd::Answered, "?!", CommandEnd::Confirmed},
                      OutcomeCase{"PlainRejected", Plain, "MOUT   1\r", "ERR\r",
                                  CommandEnd::Rejected, "ERR", CommandEnd::Confirmed},
                      OutcomeCase{"ValueNumber", Value, "MOUT????\r", " 42\r", CommandEnd::Answered,
                                  " 42", CommandEnd::Confirmed},
                      OutcomeCase{"ValueOk", Value, "MOUT????\r", "OK\r", CommandEnd::Confirmed,
                                  "OK", CommandEnd::Confirmed},
                      OutcomeCase{"TextLines", Text, "TLOG????\r", "A\rB\x04", CommandEnd::Answered,
                                  "B", CommandEnd::Confirmed},
                      OutcomeCase{"TextErrEot", Text, "TLOG????\r", "ERR\x04", CommandEnd::Answered,
                                  "ERR", CommandEnd::Confirmed},
                      OutcomeCase{"IdentifyName", Identify, "TNAM   1\r", "ALT 7\r",
                                  CommandEnd::Answered, "ALT 7", CommandEnd::Confirmed},
                      OutcomeCase{"TransferOk", Transfer, "GAMM   1\r", "OK\r",
                                  CommandEnd::Confirmed, "OK", CommandEnd::Confirmed},
                      OutcomeCase{"TransferGarbage", Transfer, "GAMM   1\r", "\xA7#?\r",
                                  CommandEnd::Answered, "\xA7#?", CommandEnd::Confirmed},
                      OutcomeCase{"TransferRejected", Transfer, "GAMM   1\r", "ERR\r",
                                  CommandEnd::Rejected, "ERR", CommandEnd::Dropped},
                      OutcomeCase{"Silent", Value, "MOUT????\r", "", CommandEnd::Dropped, "",
                                  CommandEnd::Dropped}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------

using ExchangeTest = LinkFixture;

TEST_F(ExchangeTest, OkSplitAcrossPumpsCompletesInTheSecond) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Step();
    line->Feed("O");
    Step();
    EXPECT_TRUE(link->IsBusy());
    line->Feed("K\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, PowerAnswerSwitchesTheAnswerTimeout) {
    SetEnv("REC_TIMEOUT_ON", 20000);
    SetEnv("REC_TIMEOUT_OFF", 7000);
    Connect();
    EXPECT_EQ(port->answerTimeout, 7000u);
    line->Reply("POWR????\r", "1\r\n", 0, 1);
    line->Reply("POWR????\r", "0\r", 0, 1);

    link->SendValue("POWR", kNoValue, 0);
    Step();
    Step();
    EXPECT_EQ(StatusOf("POWR"), 1);
    EXPECT_EQ(port->answerTimeout, 20000u);

    link->SendValue("POWR", kNoValue, 0);
    Step();
    Step();
    EXPECT_EQ(StatusOf("POWR"), 0);
    EXPECT_EQ(port->answerTimeout, 7000u);
}

TEST_F(ExchangeTest, ErrThreeTimesOnValueResendsAfterThePauseThenMovesOn) {
    Connect();
    line->Reply("MOUT????\r", "ERR\r");
    link->SendValue("MOUT", kNoValue, 0);
    Step(); // written, answered at once
    Step(); // first ERR
    for (int resend = 2; resend <= 3; ++resend) {
        RunFor(249);
        EXPECT_EQ(Count(line->WrittenText(), "MOUT????\r"), resend - 1);
        Step(); // 250 ms after the ERR
        EXPECT_EQ(Count(line->WrittenText(), "MOUT????\r"), resend);
        Step(); // the next ERR
    }
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(StatusOf("MOUT"), kNoValue);
    EXPECT_FALSE(RunFor(1000));
    EXPECT_EQ(Count(line->WrittenText(), "MOUT????\r"), 3);
}

TEST_F(ExchangeTest, TextLinesAreJoinedUntilEot) {
    Connect();
    Queue("STAT????\r", Text);
    Step();
    line->Feed("A\rB\r\nC\x04");
    Step();
    EXPECT_EQ(TextAnswer(), "A" + kNul);
    Step();
    Step();
    EXPECT_EQ(TextAnswer(), "A\r\nB\r\nC" + kNul);
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, TextWithoutEotEndsAtTheTimeoutWithoutRetry) {
    Connect();
    Queue("STAT????\r", Text);
    Step();
    line->Feed("A\rB\r");
    Step();
    Step();
    EXPECT_TRUE(link->IsBusy());
    EXPECT_FALSE(RunFor(10001));
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(TextAnswer(), "A\r\nB" + kNul);
    EXPECT_EQ(Count(line->WrittenText(), "STAT????\r"), 1);
}

TEST_F(ExchangeTest, SilentTextAnswerEndsAsAnEmptyText) {
    Connect();
    Queue("STAT????\r", Text);
    RunFor(10002);
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(TextAnswer(), kNul);
}

TEST_F(ExchangeTest, ALineLeftInTheBufferAnswersTheNextCommand) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Queue("MOUT   2\r", Plain);
    Step();
    line->Feed("OK\rOK\r");
    Step(); // first OK; the second command goes out in the same pass
    EXPECT_EQ(line->WrittenText(), "MOUT   1\rMOUT   2\r");
    EXPECT_TRUE(link->IsBusy());
    Step(); // the second OK, already in the buffer
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, ALineLeftWhenTheQueueEndsAnswersNoLaterCommand) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Step();
    line->Feed("GARBLED\rOK\r"); // garbage before the answer: the garbage completes the command
    Step();
    Step();
    EXPECT_FALSE(link->IsBusy());
    // The next operation's command waits for its own answer.
    Queue("MOUT   2\r", Plain);
    Step();
    Step();
    EXPECT_TRUE(link->IsBusy());
    line->Feed("OK\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, ALineLeftWhenARejectedTransferDropsTheQueueAnswersNoLaterCommand) {
    Connect();
    line->Reply("GAMM   1\r", "ERR\r", 0, 2);
    line->Reply("GAMM   1\r", "ERR\rOK\r", 0, 1); // a stray OK behind the last rejection
    Queue("GAMM   1\r", Transfer, 1);
    Queue("DATA   1\r", Transfer, 1);
    RunFor(500);
    ASSERT_EQ(notifier.messages, std::vector<int>{4105});
    Queue("MOUT   2\r", Plain);
    Step();
    Step();
    EXPECT_TRUE(link->IsBusy());
    line->Feed("OK\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, BytesArrivingWhileIdleAreLost) {
    Connect();
    line->Feed("OK\r");
    Step();
    Queue("MOUT   1\r", Plain);
    Step();
    Step();
    Step();
    EXPECT_TRUE(link->IsBusy());
}

TEST_F(ExchangeTest, PowerCommandStartsAGracePeriodForMissingAnswers) {
    Connect();
    line->Reply("POWR   1\r", "OK\r");
    Queue("POWR   1\r", Plain);
    Step();
    const Tick powerWritten = clock.Now();
    EXPECT_EQ(link->PowerCommandTime(), powerWritten);
    Step();
    EXPECT_FALSE(link->IsBusy());

    Queue("POWR????\r", Value);
    RunFor(powerWritten + 30000 - clock.Now());
    EXPECT_EQ(Retries(), 0);
    EXPECT_EQ(Count(line->WrittenText(), "POWR????\r"), 1);
    Step(); // the grace period is over: reported at once
    EXPECT_EQ(Retries(), 1);
    Step();
    EXPECT_EQ(Count(line->WrittenText(), "POWR????\r"), 2);
}

TEST_F(ExchangeTest, GracePeriodEndsForGoodAndDoesNotReturnWithTheTickCount) {
    Connect();
    line->Reply("POWR   1\r", "OK\r");
    Queue("POWR   1\r", Plain);
    Step();
    const Tick powerWritten = clock.Now();
    Step();
    RunFor(30000);
    EXPECT_EQ(link->PowerCommandTime(), 0u);

    // 2^32 ms on, the tick count passes the power command's tick again.
    clock.Set(powerWritten + 100);
    Queue("MOUT????\r", Value);
    Step();
    RunFor(10000);
    EXPECT_EQ(Retries(), 0);
    Step();
    EXPECT_EQ(Retries(), 1);
}

TEST_F(ExchangeTest, MissingAnswersDropTheQueueAfterRetryAttempts) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Queue("MOUT   2\r", Plain);
    int drops = 0;
    for (int i = 0; i < 3 * 10002 + 10; ++i) {
        drops += Step() ? 1 : 0;
    }
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(line->WrittenText(), "MOUT   1\rMOUT   1\rMOUT   1\r");
    EXPECT_FALSE(link->IsBusy());
    EXPECT_TRUE(port->commandQueue.empty());
    EXPECT_EQ(QueuedBytes(), "");
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ExchangeTest, RejectedTransferDropsTheQueueWithMessage4105) {
    Connect();
    line->Reply("GAMM   1\r", "ERR\r");
    const ByteBuffer block(257, 0x5A);
    Queue("GAMM   1\r", Transfer, 1);
    link->QueueCommand(block.data(), 257, Transfer, 1);
    Step();
    Step(); // first ERR: the pause of a paused command is 50 ms
    RunFor(49);
    EXPECT_EQ(Count(line->WrittenText(), "GAMM   1\r"), 1);
    Step();
    EXPECT_EQ(Count(line->WrittenText(), "GAMM   1\r"), 2);
    EXPECT_FALSE(RunFor(500));
    EXPECT_EQ(notifier.messages, std::vector<int>{4105});
    EXPECT_EQ(line->WrittenText(), "GAMM   1\rGAMM   1\rGAMM   1\r");
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, PausedCommandWaitsFiftyMsAfterThePreviousAnswer) {
    Connect();
    line->Reply("GAMM   1\r", "OK\r");
    Queue("GAMM   1\r", Transfer, 1);
    Queue("GAMM   2\r", Transfer, 1);
    Step(); // the first goes out at once: no answer came before it
    EXPECT_EQ(line->WrittenText(), "GAMM   1\r");
    Step(); // its OK
    RunFor(49);
    EXPECT_EQ(line->WrittenText(), "GAMM   1\r");
    Step();
    EXPECT_EQ(line->WrittenText(), "GAMM   1\rGAMM   2\r");
}

TEST_F(ExchangeTest, PartialWritesContinueAtTheNextPumps) {
    Connect();
    line->writeLimit = 4;
    ByteBuffer block(257);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7);
    }
    link->QueueCommand(block.data(), 257, Transfer, 1);
    for (int i = 0; i < 64; ++i) {
        Step();
    }
    EXPECT_EQ(AwaitedKind(), std::nullopt);
    Step();
    EXPECT_EQ(line->written, block);
    EXPECT_EQ(AwaitedKind(), Transfer);
    EXPECT_EQ(port->commandQueue[0].sent, 0);
}

TEST_F(ExchangeTest, WriteThatCannotFinishTimesOutAndStartsAgainFromItsFirstByte) {
    Connect();
    line->writeLimit = 4;
    Queue("MOUT   1\r", Plain);
    Step();
    line->writeLimit = 0;
    RunFor(10000);
    EXPECT_EQ(Retries(), 0);
    Step();
    EXPECT_EQ(Retries(), 1);
    line->writeLimit = -1;
    Step();
    EXPECT_EQ(line->WrittenText(), "MOUTMOUT   1\r");
    EXPECT_EQ(AwaitedKind(), Plain);
}

TEST_F(ExchangeTest, ChatterDuringAStuckWriteDoesNotHoldItsDeadline) {
    Connect();
    line->writeLimit = 0;
    Queue("MOUT   1\r", Plain);
    int drops = 0;
    for (int i = 0; i < 3 * 10001 + 10; ++i) {
        line->Feed("x"); // a peer that talks but never takes our bytes
        drops += Step() ? 1 : 0;
    }
    EXPECT_EQ(drops, 1);
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, LineErrorsLoseTheBytesOfThatRead) {
    Connect();
    std::vector<std::string> trace;
    link->SetTraceSink([&](const std::string& t) { trace.push_back(t); });
    Queue("MOUT   1\r", Plain);
    Step();
    line->Feed("OK\r");
    line->errors = kPortParity | kPortBreak;
    Step();
    EXPECT_TRUE(link->IsBusy());
    EXPECT_EQ(trace, (std::vector<std::string>{" Detect Break\n", " Parity Error\n"}));
    line->Feed("OK\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(trace.back(), "Recv:OK\n");
}

TEST_F(ExchangeTest, ErrorsMarkedInTheDataSpoilTheReadTheyCameWith) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Step();
    line->Feed("O\x7fK\r"); // a character broken on the line
    line->errorsInData = kPortFraming;
    Step();
    EXPECT_TRUE(link->IsBusy()) << "the broken line is no answer";
    line->Feed("OK\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, StatusEntryIsFoundByItsCodeAfterOtherEntriesWereAdded) {
    Connect();
    link->SendValue("MOUT", kNoValue, 0);
    Step();
    for (const char* code : {"AAAA", "ZZZZ", "BBBB", "MMMM", "CCCC"}) {
        link->Status().FindOrAdd(CodeKey(code));
    }
    line->Feed("42\r");
    Step();
    EXPECT_EQ(StatusOf("MOUT"), 42);
    EXPECT_EQ(StatusOf("AAAA"), 0);
    EXPECT_EQ(StatusOf("MMMM"), 0);
}

TEST_F(ExchangeTest, AnswerOnOnePortSetsTheCodeOfThatPortsCommandOnly) {
    Connect(1);
    ports.AddLine(2);
    PortEntry* second = link->UsePort(2);
    ASSERT_NE(second, nullptr);
    link->QueueCommand("MOUT????\r", 9, AnswerKind::Value, 0, port);
    link->QueueCommand("BRIG   5\r", 9, AnswerKind::Plain, 0, second); // written last
    Step();
    EXPECT_EQ(StatusOf("BRIG"), kNoValue) << "a code has no value before an answer gives one";
    line->Feed("3\r");
    Step();
    EXPECT_EQ(StatusOf("MOUT"), 3);
    EXPECT_EQ(StatusOf("BRIG"), kNoValue);
}

// ---------------------------------------------------------------------------------------------

struct SendValueCase {
    std::int32_t value;
    const char* code;
    const char* queued; // null: refused, nothing queued
};

class SendValueTable : public LinkFixture, public ::testing::WithParamInterface<SendValueCase> {};

TEST_P(SendValueTable, QueuesNineBytesOrNothing) {
    const SendValueCase& c = GetParam();
    Connect();
    const bool queued = link->SendValue(c.code, c.value, 1);
    if (!c.queued) {
        EXPECT_FALSE(queued);
        EXPECT_TRUE(port->commandQueue.empty());
        EXPECT_EQ(QueuedBytes(), "");
        return;
    }
    ASSERT_TRUE(queued);
    ASSERT_EQ(port->commandQueue.size(), 1u);
    EXPECT_EQ(port->commandQueue[0].length, 9);
    EXPECT_EQ(port->commandQueue[0].kind, Value);
    EXPECT_EQ(port->commandQueue[0].pause, 1);
    EXPECT_EQ(QueuedBytes(), c.queued);
}

INSTANTIATE_TEST_SUITE_P(Formats, SendValueTable,
                         ::testing::Values(SendValueCase{5, "MOUT", "MOUT   5\r"},
                                           SendValueCase{kNoValue, "MOUT", "MOUT????\r"},
                                           SendValueCase{-999, "GAIN", "GAIN-999\r"},
                                           SendValueCase{9999, "GAIN", "GAIN9999\r"},
                                           SendValueCase{0, "GAINXYZ", "GAIN   0\r"},
                                           SendValueCase{10000, "GAIN", nullptr},
                                           SendValueCase{-1000, "GAIN", nullptr},
                                           SendValueCase{INT_MIN, "GAIN", nullptr},
                                           SendValueCase{1, "GA", nullptr}));

// ---------------------------------------------------------------------------------------------
// Faults of the line itself.

TEST_F(ExchangeTest, AnswerLineLongerThanTheLineBufferIsCut) {
    Connect();
    Queue("STAT????\r", Text);
    Step();
    // In pieces, so the line is assembled over several pumps.
    for (int i = 0; i < 5; ++i) {
        line->Feed(std::string(1000, static_cast<char>('a' + i)));
        Step();
    }
    line->Feed("\x04");
    Step();
    EXPECT_FALSE(link->IsBusy());
    ASSERT_EQ(port->textAnswer.size(), kMaxAnswerLine + 1);
    EXPECT_EQ(port->textAnswer[999], 'a');
    EXPECT_EQ(port->textAnswer[1000], 'b');
    EXPECT_EQ(port->textAnswer[2046], 'c');
    EXPECT_EQ(port->textAnswer.back(), 0);
    EXPECT_LE(port->receiveBuffer.size(), 1001u);
}

TEST_F(ExchangeTest, LinesArrivingFasterThanTheyAreHandledDoNotPileUp) {
    Connect();
    Queue("STAT????\r", Text);
    Step();
    // Short lines, many per pump, for a long time: one is handled per pump, the rest wait.
    for (int i = 0; i < 3000; ++i) {
        line->Feed(std::string(40, '\r'));
        Step();
    }
    EXPECT_TRUE(link->IsBusy());
    EXPECT_LE(port->receiveBuffer.size(), 2 * kMaxReadPerPump);
    EXPECT_LE(port->receiveFill - port->receivePosition,
              static_cast<std::int32_t>(kMaxReadPerPump));
    // Once the peer is quiet, what was held back is handled and the answer ends.
    line->Feed("END\x04");
    RunFor(200000);
    EXPECT_FALSE(link->IsBusy());
    const std::string text = TextAnswer();
    EXPECT_EQ(text.substr(text.size() - 4), "END" + kNul);
}

struct HangUpCase {
    const char* name;
    bool afterWrite;
    bool hungUp;
    std::uint32_t claimsWaiting;
};

class HangUpTable : public LinkFixture, public ::testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUpTable, QueueIsDroppedOnce) {
    const HangUpCase& c = GetParam();
    Connect();
    Queue("MOUT????\r", Value);
    if (c.afterWrite) {
        Step();
        ASSERT_EQ(line->WrittenText(), "MOUT????\r");
    }
    line->hungUp = c.hungUp;
    line->claimsWaiting = c.claimsWaiting;
    int drops = 0;
    Tick droppedAt = 0;
    const Tick start = clock.Now();
    for (int i = 0; i < 40000; ++i) {
        if (Step()) {
            ++drops;
            droppedAt = clock.Now() - start;
        }
    }
    EXPECT_EQ(drops, 1);
    EXPECT_FALSE(link->IsBusy());
    if (c.hungUp) {
        // A device that hung up is let go at once.
        EXPECT_EQ(droppedAt, 1u);
        EXPECT_FALSE(port->IsOpen());
        EXPECT_FALSE(line->open);
    } else {
        // Three attempts, each waiting for the whole answer time-out.
        EXPECT_GE(droppedAt, 30000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, HangUpTable,
                         ::testing::Values(HangUpCase{"BeforeWrite", false, true, 0},
                                           HangUpCase{"AfterWrite", true, true, 0},
                                           HangUpCase{"HungUpClaimsBytes", true, true, 64},
                                           HangUpCase{"DriverClaimsBytes", true, false, 64}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ExchangeTest, OutcomesOfAHungUpPortAreDroppedAndOnlyTheRecentOnesAreKept) {
    Connect();
    const CommandId first = Queue("MOUT????\r", Value);
    for (std::size_t i = 1; i < kOutcomesKept; ++i) {
        Queue("MOUT   1\r", Plain);
    }
    const CommandId last = Queue("MOUT   2\r", Plain);
    EXPECT_EQ(last, first + kOutcomesKept);
    EXPECT_FALSE(link->Outcome(first)) << "its record made room for the newest";
    EXPECT_FALSE(link->Outcome(last + 1));
    EXPECT_FALSE(link->Outcome(0));
    line->hungUp = true;
    EXPECT_TRUE(Step());
    EXPECT_EQ(link->Outcome(first + 1)->end, CommandEnd::Dropped);
    EXPECT_EQ(link->Outcome(last)->end, CommandEnd::Dropped);
}

TEST_F(ExchangeTest, HungUpDeviceIsOpenedAgainAtItsRateByTheNextCommand) {
    Connect(3);
    port->baudRate = 38400;
    port->projectorName = "PJ-7";
    ASSERT_TRUE(link->OpenPort(*port));
    Queue("MOUT????\r", Value);
    Step();
    line->hungUp = true;
    EXPECT_TRUE(Step());
    EXPECT_FALSE(link->IsBusy());
    // The adapter is unplugged: its device is gone.
    line->refuseOpen = true;
    EXPECT_FALSE(Queue("MOUT????\r", Value)) << "no device takes the command";
    EXPECT_EQ(link->CurrentPort(), port) << "a failed reopen keeps the current port";

    // It is plugged in again: the next command opens it afresh, at the rate it had.
    line->refuseOpen = false;
    line->hungUp = false;
    line->Reply("MOUT????\r", "4\r");
    EXPECT_TRUE(link->SendValue("MOUT", kNoValue, 0));
    EXPECT_EQ(line->openCount, 2);
    EXPECT_EQ(line->baudRate, 38400);
    EXPECT_EQ(port->projectorName, "PJ-7");
    Step();
    Step();
    EXPECT_EQ(StatusOf("MOUT"), 4);
    EXPECT_FALSE(link->IsBusy());

    // A port closed on purpose stays closed.
    link->CloseOtherPorts(0);
    EXPECT_FALSE(Queue("MOUT????\r", Value));
    EXPECT_EQ(line->openCount, 2);
}

TEST_F(ExchangeTest, IdlePortThatHangsUpIsClosedWithoutAMessage) {
    Connect();
    line->hungUp = true;
    EXPECT_FALSE(Step());
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(RunFor(100));
}

TEST_F(ExchangeTest, OutputHeldForeverTimesOutLikeAMissingAnswer) {
    Connect();
    line->xoffHold = true;
    Queue("MOUT   1\r", Plain);
    EXPECT_FALSE(RunFor(3 * 10001));
    EXPECT_TRUE(RunFor(10));
    EXPECT_TRUE(line->written.empty());
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(ExchangeTest, DeadlinesSurviveTheWrapOfTheTickCount) {
    clock.Set(0xFFFFFFFFu - 100);
    Connect();
    link->SendValue("MOUT", kNoValue, 0);
    Step();
    RunFor(300); // the tick count wraps meanwhile
    EXPECT_EQ(Retries(), 0);
    line->Feed("5\r");
    Step();
    EXPECT_EQ(StatusOf("MOUT"), 5);

    link->SendValue("MOUT", kNoValue, 0);
    Step();
    RunFor(10000);
    EXPECT_EQ(Retries(), 0);
    Step();
    EXPECT_EQ(Retries(), 1);
}

TEST_F(ExchangeTest, LongIdlePortSendsAtOnce) {
    Connect();
    clock.Advance(0x90000000u);
    Queue("MOUT   1\r", Plain);
    Step();
    EXPECT_EQ(line->WrittenText(), "MOUT   1\r");
}

} // namespace
} // namespace tonedesk::test
