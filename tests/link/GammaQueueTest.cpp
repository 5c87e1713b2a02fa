#include "link/GammaQueue.h"
#include "gamma/GammaTransfer.h"
#include "link/LinkFixture.h"

#include <string>

namespace tonedesk {
namespace {

class GammaQueueTest : public test::LinkFixture {};

TEST_F(GammaQueueTest, AllChannelsGoOutInOrderWithPauses) {
    Connect();
    GammaTable table;
    table.levels[1].fill(1023);
    const auto entries = GammaTransferEntries(1, table, -1);
    std::string expected;
    for (const ByteBuffer& e : entries) {
        const std::string bytes(e.begin(), e.end());
        line->Reply(bytes, "OK\r", 0, 1);
        expected += bytes;
    }
    ASSERT_TRUE(QueueGammaTables(*link, 1, table, -1));
    ASSERT_EQ(QueueLeft(), 12u);
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_EQ(port->commandQueue[k].kind, AnswerKind::Transfer);
        EXPECT_EQ(port->commandQueue[k].pause, 1);
        EXPECT_EQ(port->commandQueue[k].length, k % 2 == 0 ? 9 : 257);
    }
    EXPECT_FALSE(RunFor(2000));
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(line->WrittenText(), expected);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(expected.size(), 1596u);
}

TEST_F(GammaQueueTest, OneChannelQueuesFourEntries) {
    Connect();
    GammaTable table;
    ASSERT_TRUE(QueueGammaTables(*link, 0, table, 1));
    ASSERT_EQ(QueueLeft(), 4u);
    RunFor(1);
    EXPECT_EQ(line->WrittenText(), "GAMM   2\r");
}

TEST_F(GammaQueueTest, SummaryNamesTheBlocksThatWereNotConfirmed) {
    Connect();
    GammaTable table;
    for (int i = 0; i < 256; ++i) {
        table.levels[1][static_cast<std::size_t>(i)] = 4 * i; // the two halves differ
    }
    const auto entries = GammaTransferEntries(0, table, 1); // blocks 2 and 3
    const std::string announce3(entries[2].begin(), entries[2].end());
    const std::string data3(entries[3].begin(), entries[3].end());
    line->Reply(std::string(entries[0].begin(), entries[0].end()), "OK\r");
    line->Reply(std::string(entries[1].begin(), entries[1].end()), "OK\r");
    line->Reply(announce3, "OK\r");
    line->Reply(data3, std::string(60, 'X') + "\r");
    const GammaWrite write = QueueGammaTables(*link, 0, table, 1);
    ASSERT_TRUE(write);
    ASSERT_EQ(write.entries.size(), 4u);
    EXPECT_EQ(write.entries[2].block, 3);
    EXPECT_FALSE(write.entries[2].data);
    EXPECT_TRUE(write.entries[3].data);
    EXPECT_FALSE(SummariseGammaWrite(*link, write).finished);

    EXPECT_FALSE(RunFor(2000));
    ASSERT_FALSE(link->IsBusy());
    const GammaWriteSummary summary = SummariseGammaWrite(*link, write);
    EXPECT_TRUE(summary.finished);
    EXPECT_FALSE(summary.Confirmed());
    ASSERT_EQ(summary.problems.size(), 1u);
    EXPECT_EQ(DescribeGammaWriteProblem(summary.problems[0]),
              "block 3 data: answered \"" + std::string(40, 'X') +
                  "... (60 characters)\" instead of OK");

    // Rejected: the entry and every one after it.
    line->rules.clear();
    line->Reply("GAMM   2\r", "ERR\r");
    const GammaWrite rejected = QueueGammaTables(*link, 0, table, 1);
    RunFor(2000);
    const GammaWriteSummary lost = SummariseGammaWrite(*link, rejected);
    ASSERT_EQ(lost.problems.size(), 4u);
    EXPECT_EQ(DescribeGammaWriteProblem(lost.problems[0]), "block 2 announce: rejected (ERR)");
    EXPECT_EQ(DescribeGammaWriteProblem(lost.problems[3]),
              "block 3 data: not delivered, the queue was dropped");
    EXPECT_EQ(notifier.messages, std::vector<int>{4105});
}

TEST_F(GammaQueueTest, WriteAnsweredOkThroughoutIsConfirmed) {
    Connect();
    line->Reply("", "OK\r");
    const GammaWrite write = QueueGammaTables(*link, 1, GammaTable{}, -1);
    RunFor(2000);
    EXPECT_TRUE(SummariseGammaWrite(*link, write).Confirmed());
    EXPECT_FALSE(SummariseGammaWrite(*link, GammaWrite{}).Confirmed()) << "nothing queued";
}

TEST_F(GammaQueueTest, WriteWhoseRecordsWerePushedOutIsNotConfirmed) {
    Connect();
    line->Reply("", "OK\r");
    const GammaWrite write = QueueGammaTables(*link, 0, GammaTable{}, 1);
    for (std::size_t i = 0; i < kOutcomesKept; ++i) {
        Queue("MOUT   1\r", AnswerKind::Plain);
    }
    RunFor(3000);
    ASSERT_FALSE(link->IsBusy());
    EXPECT_FALSE(link->Outcome(write.entries[0].id));
    const GammaWriteSummary summary = SummariseGammaWrite(*link, write);
    EXPECT_FALSE(summary.Confirmed());
    ASSERT_EQ(summary.problems.size(), 4u);
    EXPECT_EQ(DescribeGammaWriteProblem(summary.problems[0]), "block 2 announce: no record left");
}

TEST_F(GammaQueueTest, NoPortRefusesTheWrite) {
    MakeLink();
    EXPECT_FALSE(QueueGammaTables(*link, 0, GammaTable{}, -1));
}

} // namespace
} // namespace tonedesk
