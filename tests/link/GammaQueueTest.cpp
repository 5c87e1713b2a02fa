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

TEST_F(GammaQueueTest, NoPortRefusesTheWrite) {
    MakeLink();
    EXPECT_FALSE(QueueGammaTables(*link, 0, GammaTable{}, -1));
}

} // namespace
} // namespace tonedesk
