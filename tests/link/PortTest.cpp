#include "link/LinkFixture.h"

namespace tonedesk::test {
namespace {

using enum AnswerKind;

using PortTest = LinkFixture;

TEST_F(PortTest, EmptyProfileGivesTheDefaults) {
    MakeLink();
    const LinkSettings& s = link->Configuration();
    EXPECT_EQ(s.retry, 3);
    EXPECT_EQ(s.retry2, 2);
    EXPECT_EQ(s.powerOnRetry, 6);
    EXPECT_EQ(s.recTimeoutOn, 10000u);
    EXPECT_EQ(s.recTimeoutOff, 10000u);
    EXPECT_EQ(s.recTimeoutErr, 250u);
    EXPECT_EQ(s.powerOnTime, 4800u);
    EXPECT_EQ(s.powerOnWait, 30000u);
    EXPECT_TRUE(link->Scanning());
    EXPECT_EQ(link->PortsFound(), 0);
    EXPECT_EQ(link->PowerCommandTime(), 0u);
    EXPECT_EQ(link->CurrentPort(), nullptr);
}

TEST_F(PortTest, CountsBelowOneAreTakenAsOne) {
    SetEnv("RETRY", 0);
    SetEnv("RETRY2", -4);
    SetEnv("POWERON_RETRY", 0);
    SetEnv("REC_TIMEOUT_ERR", -1);
    Connect();
    const LinkSettings& s = link->Configuration();
    EXPECT_EQ(s.retry, 1);
    EXPECT_EQ(s.retry2, 1);
    EXPECT_EQ(s.powerOnRetry, 1);
    EXPECT_EQ(s.recTimeoutErr, 0u);

    // One rejection and one missing answer are all a command gets.
    line->Reply("MOUT   1\r", "ERR\r");
    Queue("MOUT   1\r", Plain);
    Queue("MOUT   2\r", Plain);
    Step();
    Step(); // the ERR ends the first command; the second goes out
    EXPECT_EQ(line->WrittenText(), "MOUT   1\rMOUT   2\r");
    EXPECT_FALSE(RunFor(10000));
    EXPECT_TRUE(Step());
    EXPECT_FALSE(link->IsBusy());
}

// A RETRY of thousands would retry one unanswered command for hours.
TEST_F(PortTest, RetryIsHeldAtAHundred) {
    const struct {
        const char* text;
        std::int32_t taken;
    } kCases[] = {{"100000", kMaxRetry}, {"101", kMaxRetry}, {"100", 100}, {"7", 7}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        settings.WriteText(kEnvSection, "RETRY", c.text);
        EXPECT_EQ(MakeLink().Configuration().retry, c.taken);
    }
}

TEST_F(PortTest, TimeSettingsAreReadAsWrittenAndHeldAtTheLongestTime) {
    const struct {
        const char* text;
        std::optional<Tick> taken; // none: the default
    } kCases[] = {
        {"3000000000", kLongestTimeSetting},
        {"2147483648", kLongestTimeSetting},
        {"4294967295", kLongestTimeSetting},
        {"99999999999999999999", kLongestTimeSetting},
        {"2147483647", kLongestTimeSetting},
        {"1073741824", kLongestTimeSetting},
        {"1073741823", kLongestTimeSetting},
        {"0x20", 32},
        {"-1", 0},
        {"-3000000000", 0},
        {"many", std::nullopt},
    };
    const LinkSettings defaults;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        for (const char* key : {"REC_TIMEOUT_ON", "REC_TIMEOUT_OFF", "REC_TIMEOUT_ERR",
                                "POWERON_TIME", "POWERON_WAIT"}) {
            settings.WriteText(kEnvSection, key, c.text);
        }
        const LinkSettings& s = MakeLink().Configuration();
        EXPECT_EQ(s.recTimeoutOn, c.taken.value_or(defaults.recTimeoutOn));
        EXPECT_EQ(s.recTimeoutOff, c.taken.value_or(defaults.recTimeoutOff));
        EXPECT_EQ(s.recTimeoutErr, c.taken.value_or(defaults.recTimeoutErr));
        EXPECT_EQ(s.powerOnTime, c.taken.value_or(defaults.powerOnTime));
        EXPECT_EQ(s.powerOnWait, c.taken.value_or(defaults.powerOnWait));
    }
}

TEST_F(PortTest, HugeAnswerTimeoutKeepsACommandWaiting) {
    settings.WriteText(kEnvSection, "REC_TIMEOUT_OFF", "3000000000");
    Connect();
    Queue("MOUT   1\r", Plain);
    EXPECT_FALSE(RunFor(100000));
    EXPECT_EQ(Retries(), 0);
    EXPECT_EQ(Count(line->WrittenText(), "MOUT   1\r"), 1);
    EXPECT_TRUE(link->IsBusy());
}

TEST_F(PortTest, OpenUsesTheComNumberAndConfiguresTheLine) {
    std::vector<std::string> trace;
    MakeLink();
    link->SetTraceSink([&](const std::string& t) { trace.push_back(t); });
    Connect(10);
    EXPECT_EQ(port->portIndex, 9);
    EXPECT_EQ(ports.openAttempts, std::vector<int>{10});
    EXPECT_EQ(line->configured, std::vector<int>{9600});
    EXPECT_EQ(line->purgeCount, 1);
    EXPECT_EQ(port->baudRate, 9600);
    EXPECT_EQ(port->answerTimeout, 10000u);
    EXPECT_EQ(link->CurrentPort(), port);
    EXPECT_EQ(trace, std::vector<std::string>{"COM10 ,9600\n"});
}

TEST_F(PortTest, ReopeningAnOpenPortAppliesItsRateAndEmptiesItsQueue) {
    Connect();
    Queue("MOUT   1\r", Plain);
    Queue("MOUT   2\r", Plain);
    Step();
    line->Feed("E");
    Step();
    port->baudRate = 38400;
    port->projectorName = "PJ";
    ASSERT_TRUE(link->OpenPort(*port));
    EXPECT_EQ(line->openCount, 1);
    EXPECT_EQ(line->configured, (std::vector<int>{9600, 38400}));
    EXPECT_EQ(line->purgeCount, 2);
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(QueuedBytes(), "");
    EXPECT_EQ(port->receiveFill, 0);
    EXPECT_TRUE(port->partialLine.empty());
    EXPECT_EQ(port->projectorName, "PJ");
    // The half line from before is not part of the next answer: "RR" is data, not "ERR".
    Queue("MOUT   3\r", Plain);
    Step();
    line->Feed("RR\r");
    Step();
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(Retries(), 0);
}

TEST_F(PortTest, PortThatDoesNotOpenLeavesNoCurrentPort) {
    Connect(1);
    ports.AddLine(2)->refuseOpen = true;
    EXPECT_EQ(link->UsePort(2), nullptr);
    EXPECT_EQ(link->UsePort(300), nullptr);
    EXPECT_EQ(link->CurrentPort(), nullptr);
    EXPECT_EQ(link->Ports().size(), 1u);
    EXPECT_FALSE(Queue("MOUT   1\r", Plain));
    EXPECT_FALSE(link->IsBusy());
    EXPECT_FALSE(link->SendValue("MOUT", 1, 0));
}

TEST_F(PortTest, CloseOtherPortsKeepsOnlyTheNamedPort) {
    MakeLink();
    for (int com : {3, 1, 2}) {
        ports.AddLine(com);
    }
    link->StopScanning();
    for (int com : {3, 1, 2}) {
        ASSERT_NE(link->UsePort(com), nullptr);
    }
    link->CloseOtherPorts(0);
    EXPECT_TRUE(ports.Line(1)->open);
    EXPECT_FALSE(ports.Line(2)->open);
    EXPECT_FALSE(ports.Line(3)->open);
    EXPECT_EQ(link->Ports().size(), 3u);
    for (const PortEntry& p : link->Ports()) {
        EXPECT_EQ(p.IsOpen(), p.portIndex == 0);
    }
}

TEST_F(PortTest, QueueingSetsTheWorkingCursorAndWritesTheBytesAsQueued) {
    Connect();
    const std::uint8_t raw[] = {0, 13, 4, 255, 'O', 'K'};
    ASSERT_TRUE(link->QueueCommand(raw, sizeof raw, Transfer, 0));
    EXPECT_EQ(notifier.cursors, std::vector<CursorShape>{CursorShape::AppStarting});
    EXPECT_TRUE(link->IsBusy());
    Step();
    EXPECT_EQ(line->written, ByteBuffer(std::begin(raw), std::end(raw)));
}

TEST_F(PortTest, ClosedCurrentPortIsNeitherBusyNorQueuedTo) {
    Connect(1);
    ports.AddLine(2);
    PortEntry* second = link->UsePort(2);
    ASSERT_NE(second, nullptr);
    Queue("MOUT   1\r", Plain);
    EXPECT_TRUE(link->IsBusy());
    link->CloseOtherPorts(0);
    EXPECT_EQ(link->CurrentPort(), second);
    EXPECT_FALSE(link->IsBusy());
    EXPECT_FALSE(Queue("MOUT   2\r", Plain));
}

} // namespace
} // namespace tonedesk::test
