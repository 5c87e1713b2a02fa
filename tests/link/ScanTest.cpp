#include "link/LinkFixture.h"

namespace tonedesk::test {
namespace {

using enum AnswerKind;

class ScanTest : public LinkFixture {
protected:
    // Service once per virtual millisecond until the scan ends (or `limit` ms passed); the time
    // it took.
    Tick ScanUntilDone(Tick limit = 60000) {
        const Tick start = clock.Now();
        while (link->Scanning() && clock.Now() - start < limit) {
            Step();
        }
        return clock.Now() - start;
    }

    const PortEntry& Entry(std::size_t i) const { return link->Ports().at(i); }
};

TEST_F(ScanTest, NoPortAtAllEndsTheScanAtTheFirstService) {
    MakeLink();
    link->ScanPorts();
    EXPECT_TRUE(link->Ports().empty());
    EXPECT_EQ(link->PortsFound(), 0);
    ASSERT_EQ(ports.openAttempts.size(), 255u);
    EXPECT_EQ(ports.openAttempts.front(), 1);
    EXPECT_EQ(ports.openAttempts.back(), 255);
    EXPECT_TRUE(link->Scanning());
    Step();
    EXPECT_FALSE(link->Scanning());
}

TEST_F(ScanTest, OnlyPortsThatOpenEnterTheTableInPortOrder) {
    for (int com : {200, 3, 1, 5}) {
        ports.AddLine(com);
    }
    ports.Line(5)->refuseOpen = true;
    MakeLink();
    link->ScanPorts();
    ASSERT_EQ(link->Ports().size(), 3u);
    EXPECT_EQ(link->PortsFound(), 3);
    const std::int32_t indexes[] = {0, 2, 199};
    for (std::size_t i = 0; i < 3; ++i) {
        const PortEntry& p = Entry(i);
        EXPECT_EQ(p.portIndex, indexes[i]);
        EXPECT_EQ(p.probing, 1);
        EXPECT_EQ(p.baudRate, 9600);
        EXPECT_EQ(p.answerTimeout, 800u);
        EXPECT_EQ(TextOfQueue(p), "TNAM   1\r");
        EXPECT_EQ(p.commandQueue.at(0).kind, Identify);
    }
}

TEST_F(ScanTest, ProjectorAnsweringOnlyAt38400IsFoundAtThatRate) {
    auto pj = ports.AddLine(2);
    pj->Reply("TNAM   1\r", "PJ-7\r", 38400);
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_FALSE(link->Scanning());
    const PortEntry& p = Entry(0);
    EXPECT_TRUE(p.IsOpen());
    EXPECT_EQ(p.probing, 0);
    EXPECT_EQ(p.projectorName, "PJ-7");
    EXPECT_EQ(p.baudRate, 38400);
    EXPECT_EQ(p.baudIndex, 1);
    EXPECT_EQ(pj->configured, (std::vector<int>{9600, 38400}));
    // An unanswered probe stays in flight until its rate is given up: one probe per rate.
    EXPECT_EQ(Count(pj->WrittenText(), "TNAM   1\r"), 2);
}

TEST_F(ScanTest, PortAnsweringErrAtEveryRateIsGivenUpAndClosed) {
    auto pj = ports.AddLine(1);
    pj->Reply("TNAM   1\r", "ERR\r");
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_FALSE(link->Scanning());
    const PortEntry& p = Entry(0);
    EXPECT_FALSE(p.IsOpen());
    EXPECT_FALSE(pj->open);
    EXPECT_EQ(p.probing, 0);
    EXPECT_EQ(p.baudRate, 0);
    EXPECT_EQ(p.powerOnRetryCount, 6);
    // Six cycles of the three rates, two probes at each (an ERR answer ends the probe).
    std::vector<int> rates;
    for (int cycle = 0; cycle < 6; ++cycle) {
        rates.insert(rates.end(), {9600, 38400, 115200});
    }
    EXPECT_EQ(pj->configured, rates);
    EXPECT_EQ(Count(pj->WrittenText(), "TNAM   1\r"), 36);
}

TEST_F(ScanTest, SilentPortIsTriedAbout800MsPerRate) {
    auto pj = ports.AddLine(1);
    MakeLink();
    link->ScanPorts();
    std::vector<Tick> reconfigured;
    const Tick start = clock.Now();
    while (link->Scanning() && clock.Now() - start < 60000) {
        const std::size_t before = pj->configured.size();
        Step();
        if (pj->configured.size() != before) {
            reconfigured.push_back(clock.Now() - start);
        }
    }
    EXPECT_FALSE(Entry(0).IsOpen());
    ASSERT_EQ(reconfigured.size(), 17u);
    for (std::size_t i = 0; i < reconfigured.size(); ++i) {
        const Tick since = reconfigured[i] - (i ? reconfigured[i - 1] : 0);
        EXPECT_GT(since, 800u);
        EXPECT_LT(since, 806u);
    }
}

TEST_F(ScanTest, ProjectorSwitchedOnDuringTheScanIsFoundAtItsRate) {
    auto pj = ports.AddLine(4);
    MakeLink();
    link->ScanPorts();
    RunFor(2000); // silent at 9600 and 38400; now tried at 115200
    pj->Reply("TNAM   1\r", "PJ-9\r", 9600);
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, "PJ-9");
    EXPECT_EQ(Entry(0).baudRate, 9600);
    EXPECT_EQ(Entry(0).powerOnRetryCount, 1);
}

TEST_F(ScanTest, NameIsCutTo32CharactersAndAnEmptyAnswerStillFindsThePort) {
    const std::string forty = "0123456789ABCDEFGHIJ0123456789abcdefghij";
    ports.AddLine(1)->Reply("TNAM   1\r", forty + "\r");
    ports.AddLine(2)->Reply("TNAM   1\r", "\r");
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, forty.substr(0, 32));
    EXPECT_EQ(Entry(0).probing, 0);
    EXPECT_EQ(Entry(1).projectorName, "");
    EXPECT_EQ(Entry(1).probing, 0);
    EXPECT_TRUE(Entry(1).IsOpen());
}

TEST_F(ScanTest, NameWithBlanksIsKeptWhole) {
    ports.AddLine(1)->Reply("TNAM   1\r", "ALT 7\r");
    ports.AddLine(2)->Reply("TNAM   1\r", " PJ  2 \r");
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, "ALT 7");
    EXPECT_EQ(Entry(1).projectorName, " PJ  2 ");
    EXPECT_TRUE(Entry(0).AnsweredProbe());
}

TEST_F(ScanTest, OkToTheProbeCountsAsAFailedAttempt) {
    auto pj = ports.AddLine(1);
    pj->Reply("TNAM   1\r", "OK\r", 9600);
    pj->Reply("TNAM   1\r", "PJ\r", 115200);
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, "PJ");
    EXPECT_EQ(Entry(0).baudRate, 115200);
}

TEST_F(ScanTest, RescanClosesEveryPortBeforeProbingAgain) {
    auto found = ports.AddLine(1);
    found->Reply("TNAM   1\r", "PJ-1\r");
    auto other = ports.AddLine(2);
    other->Reply("TNAM   1\r", "PJ-2\r");
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    ASSERT_EQ(Entry(0).projectorName, "PJ-1");
    ASSERT_TRUE(found->open);

    // A lingering half answer must not survive into the new scan either.
    found->Feed("STALE");
    link->ScanPorts();
    EXPECT_EQ(found->openCount, 2); // a line that is still open cannot be opened again
    EXPECT_EQ(other->openCount, 2);
    ASSERT_EQ(link->Ports().size(), 2u);
    EXPECT_EQ(Entry(0).projectorName, "");
    EXPECT_EQ(Entry(0).probing, 1);
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, "PJ-1");
    EXPECT_EQ(Entry(1).projectorName, "PJ-2");
}

TEST_F(ScanTest, RetrySettingsBelowOneStillEndTheScan) {
    SetEnv("RETRY2", 0);
    SetEnv("POWERON_RETRY", -1);
    auto pj = ports.AddLine(1);
    MakeLink();
    link->ScanPorts();
    EXPECT_EQ(Entry(0).answerTimeout, 1600u);
    const Tick took = ScanUntilDone();
    EXPECT_FALSE(link->Scanning());
    EXPECT_FALSE(Entry(0).IsOpen());
    EXPECT_EQ(pj->configured, (std::vector<int>{9600, 38400, 115200}));
    EXPECT_LT(took, 3u * 1610);
}

TEST_F(ScanTest, PortThatHangsUpIsGivenUpAtOnceAndOpenedAfreshByTheNextScan) {
    auto gone = ports.AddLine(1);
    gone->hungUp = true;
    ports.AddLine(2)->Reply("TNAM   1\r", "PJ-2\r");
    MakeLink();
    link->ScanPorts();
    Step();
    EXPECT_FALSE(Entry(0).IsOpen());
    EXPECT_FALSE(gone->open);
    EXPECT_EQ(Entry(0).probing, 0);
    EXPECT_EQ(Entry(0).baudRate, 0);
    EXPECT_FALSE(Entry(0).AnsweredProbe());
    ScanUntilDone();
    EXPECT_EQ(Entry(1).projectorName, "PJ-2");
    EXPECT_EQ(gone->configured, std::vector<int>{9600});

    gone->hungUp = false;
    gone->Reply("TNAM   1\r", "PJ-1\r");
    link->ScanPorts();
    EXPECT_EQ(gone->openCount, 2);
    ScanUntilDone();
    EXPECT_EQ(Entry(0).projectorName, "PJ-1");
}

TEST_F(ScanTest, ChosenPortRunsOutsideTheScanAfterwards) {
    ports.AddLine(1)->Reply("TNAM   1\r", "PJ-1\r");
    ports.AddLine(2)->Reply("TNAM   1\r", "PJ-2\r");
    MakeLink();
    link->ScanPorts();
    ScanUntilDone();
    const PortEntry& chosen = link->Ports()[1];
    link->StopScanning();
    ASSERT_TRUE(link->UseScannedPort(chosen.portIndex));
    EXPECT_EQ(link->CurrentPort(), &chosen);
    EXPECT_EQ(chosen.answerTimeout, 10000u);
    EXPECT_EQ(chosen.baudRate, 9600);
    EXPECT_FALSE(ports.Line(1)->open);
    auto line2 = ports.Line(2);
    line2->Reply("MOUT????\r", "3\r");
    link->SendValue("MOUT", kNoValue, 0);
    Step();
    Step();
    EXPECT_EQ(StatusOf("MOUT"), 3);
}

// ---------------------------------------------------------------------------------------------
// A probe of one port: the scan's name query on that port only, one cycle of the given rates.

TEST_F(ScanTest, ProbeFindsTheRateTheProjectorAnswersAtAndLeavesTheScanningMode) {
    Connect(3);
    line->Reply("TNAM   1\r", "PJ-3\r", 38400);
    ASSERT_TRUE(link->StartProbe(*port, kBaudRates));
    EXPECT_TRUE(link->Scanning());
    EXPECT_FALSE(port->AnsweredProbe());
    EXPECT_EQ(port->answerTimeout, 800u);
    ScanUntilDone();
    EXPECT_FALSE(link->Scanning());
    EXPECT_TRUE(port->AnsweredProbe());
    EXPECT_EQ(port->projectorName, "PJ-3");
    EXPECT_EQ(port->baudRate, 38400);
    EXPECT_EQ(line->configured, (std::vector<int>{9600, 9600, 38400}));
    EXPECT_EQ(Count(line->WrittenText(), "TNAM   1\r"), 2);
}

TEST_F(ScanTest, ProbeGivesUpAfterOneCycleAndTheNextScanStillRunsItsCycles) {
    Connect(1);
    line->Reply("TNAM   1\r", "ERR\r");
    ASSERT_TRUE(link->StartProbe(*port, kBaudRates));
    ScanUntilDone();
    EXPECT_FALSE(link->Scanning());
    EXPECT_FALSE(port->AnsweredProbe());
    EXPECT_FALSE(line->open);
    EXPECT_EQ(port->baudRate, 0);
    EXPECT_EQ(line->configured, (std::vector<int>{9600, 9600, 38400, 115200}));
    EXPECT_EQ(Count(line->WrittenText(), "TNAM   1\r"), 6);

    EXPECT_EQ(link->Configuration().powerOnRetry, 6);
    link->ScanPorts();
    ScanUntilDone();
    EXPECT_EQ(Count(line->WrittenText(), "TNAM   1\r"), 6 + 36);
}

TEST_F(ScanTest, ProbeTriesOnlyTheRatesGivenAndSpreadsTheCycleOverThem) {
    Connect(1);
    const std::int32_t rates[] = {115200, 9600};
    ASSERT_TRUE(link->StartProbe(*port, rates));
    EXPECT_EQ(port->baudRate, 115200);
    EXPECT_EQ(port->answerTimeout, 1200u); // POWERON_TIME over RETRY2 attempts at two rates
    const Tick took = ScanUntilDone();
    EXPECT_FALSE(port->AnsweredProbe());
    EXPECT_EQ(line->configured, (std::vector<int>{9600, 115200, 9600}));
    // A silent port keeps its unanswered probe in flight: one wait per rate.
    EXPECT_GT(took, 2u * 1200);
    EXPECT_LT(took, 2u * 1210);
}

TEST_F(ScanTest, ProbeOfAClosedPortOrWithoutRatesStartsNothing) {
    Connect(1);
    EXPECT_FALSE(link->StartProbe(*port, {}));
    link->CloseOtherPorts(-1);
    EXPECT_FALSE(link->StartProbe(*port, kBaudRates));
    EXPECT_FALSE(link->Scanning());
    EXPECT_EQ(line->configured, std::vector<int>{9600});
}

} // namespace
} // namespace tonedesk::test
