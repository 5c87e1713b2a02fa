// The link's next deadline, checked against a link serviced every virtual millisecond: a
// service at a tick before the deadline never has work, and the deadline never lies in the past
// of a service that has none (which would wake its caller without end).

#include "LinkFixture.h"

#include <sstream>

namespace tonedesk::test {
namespace {

class ServiceDeadlineTest : public LinkFixture {
protected:
    // Everything a service can change without new bytes, for every port.
    std::string State() const {
        std::ostringstream out;
        out << link->Scanning() << ' ' << notifier.messages.size();
        for (const PortEntry& p : link->Ports()) {
            out << " | " << p.IsOpen() << p.probing << ' ' << p.baudRate << ' ' << p.cursor << '/'
                << p.commandQueue.size() << ' ' << (p.pendingKind ? int(*p.pendingKind) : -1) << ' '
                << p.retryCount << ' ' << p.receivePosition << '/' << p.receiveFill << ' '
                << p.partialLine << ' ' << p.projectorName << ' ' << p.writing;
        }
        for (const auto& [com, l] : lines) {
            out << " | " << l->written.size();
        }
        return out.str();
    }
    bool BytesArrived() const {
        for (const auto& [com, l] : lines) {
            if (!l->incoming.empty()) {
                return true;
            }
        }
        return false;
    }
    std::shared_ptr<FakeLine> AddLine(int com) {
        auto l = ports.AddLine(com);
        l->descriptor = 100 + com;
        lines[com] = l;
        return l;
    }

    // Services the link every virtual millisecond for `ms`. Where no bytes wait on a line (the
    // program would not wake for them), a service that changes something must have been due,
    // and a due service must change something.
    void ServiceEveryTick(Tick ms) {
        for (Tick t = 0; t < ms; ++t) {
            const bool arrived = BytesArrived();
            const std::optional<Tick> due = link->NextDeadline();
            const std::string before = State();
            Step();
            if (arrived) {
                continue;
            }
            const bool isDue = due && static_cast<std::int32_t>(*due - clock.Now()) <= 0;
            const bool changed = State() != before;
            ASSERT_EQ(isDue, changed)
                << "at tick " << clock.Now() << ", due " << (due ? std::to_string(*due) : "never")
                << "\n  before " << before << "\n  after  " << State();
        }
    }

    std::map<int, std::shared_ptr<FakeLine>> lines;
};

TEST_F(ServiceDeadlineTest, ExchangesWakeOnlyForPausesTimeOutsAndWaitingLines) {
    SetEnv("REC_TIMEOUT_OFF", 200);
    SetEnv("REC_TIMEOUT_ON", 300);
    SetEnv("POWERON_WAIT", 700);
    auto pj = AddLine(1);
    MakeLink();
    Connect(1);
    EXPECT_EQ(link->ReadinessDescriptors(), std::vector<int>{101});
    EXPECT_EQ(link->NextDeadline(), std::nullopt);

    pj->Reply("POWR????\r", "1\r");
    pj->Reply("GAMM   0\r", "ERR\r", 0, 1);
    pj->Reply("GAMM   0\r", "OK\r");
    // A stray line before the answer: it answers the block, the "OK" waits for the next entry.
    pj->Reply("BLOCK-0\r", "NOISE\rOK\r");
    pj->Reply("TLOG????\r", "A\rB\r");
    Queue("POWR????\r", AnswerKind::Value);
    Queue("GAMM   0\r", AnswerKind::Transfer, 1);
    Queue("BLOCK-0\r", AnswerKind::Transfer, 1);
    Queue("GAMM   1\r", AnswerKind::Transfer, 1);
    Queue("TLOG????\r", AnswerKind::Text);
    // Never answered: each attempt waits out the power grace, the last one drops the queue.
    Queue("POWR   1\r", AnswerKind::Plain);
    EXPECT_EQ(link->NextDeadline(), clock.Now());
    ServiceEveryTick(6000);

    EXPECT_EQ(Count(pj->WrittenText(), "GAMM   0\r"), 2);
    EXPECT_EQ(Count(pj->WrittenText(), "POWR   1\r"), 3);
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(link->NextDeadline(), std::nullopt);
}

TEST_F(ServiceDeadlineTest, ScansWakeForProbeTimeOutsAndEndWithoutATick) {
    SetEnv("POWERON_RETRY", 2);
    AddLine(1)->Reply("TNAM   1\r", "PJ-7\r", 38400);
    AddLine(2); // silent: given up after two cycles
    MakeLink();
    link->ScanPorts();
    ServiceEveryTick(12000);
    EXPECT_FALSE(link->Scanning());
    EXPECT_EQ(link->Ports().at(0).projectorName, "PJ-7");
    EXPECT_FALSE(link->Ports().at(1).IsOpen());
    EXPECT_EQ(link->NextDeadline(), std::nullopt);
    EXPECT_EQ(link->ReadinessDescriptors(), std::vector<int>{101});
}

TEST_F(ServiceDeadlineTest, PortsWithoutADescriptorArePolledAndAnEmptyScanEndsAtOnce) {
    MakeLink();
    link->ScanPorts();
    EXPECT_EQ(link->NextDeadline(), clock.Now());
    Step();
    EXPECT_FALSE(link->Scanning());
    EXPECT_EQ(link->NextDeadline(), std::nullopt);

    Connect(3); // a fake line without a descriptor
    EXPECT_TRUE(link->ReadinessDescriptors().empty());
    EXPECT_EQ(link->NextDeadline(), clock.Now() + kPollMs);
}

} // namespace
} // namespace tonedesk::test
