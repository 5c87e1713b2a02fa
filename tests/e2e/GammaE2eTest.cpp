// Gamma writes through the link and the POSIX serial port into a simulated projector, which
// keeps the blocks it accepted in its dump file.

#include "ProjectorSimulator.h"
#include "SimulatorLog.h"
#include "common/SimulatorLink.h"
#include "common/TestKit.h"
#include "gamma/GammaTransfer.h"
#include "link/GammaQueue.h"

#include <gtest/gtest.h>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kWriteLimit = 30s;

// Both banks with levels that differ between every channel and bank.
std::array<GammaTable, 2> Banks() {
    std::array<GammaTable, 2> banks;
    for (int bank = 0; bank < 2; ++bank) {
        for (int channel = 0; channel < kChannelCount; ++channel) {
            for (int i = 0; i < kLevelCount; ++i) {
                banks[bank].levels[channel][i] =
                    static_cast<std::uint16_t>((4 * i + 37 * channel + 301 * bank) % 1024);
            }
        }
    }
    return banks;
}

// The dump the simulator should write after receiving the blocks of these banks.
std::string ExpectedDump(const std::array<GammaTable, 2>& banks, const std::vector<int>& tables) {
    std::array<std::optional<std::vector<std::uint8_t>>, sim::kGammaTables> blocks;
    for (int bank = 0; bank < 2; ++bank) {
        for (int channel = 0; channel < kChannelCount; ++channel) {
            for (int half = 0; half < 2; ++half) {
                const int number = GammaBlockNumber(bank, channel, half);
                if (std::find(tables.begin(), tables.end(), number) != tables.end()) {
                    const auto block = GammaBlock(banks[bank].levels[channel], half);
                    blocks[number].emplace(block.begin(), block.end());
                }
            }
        }
    }
    return sim::FormatGammaDump(blocks);
}

class GammaWrite : public testing::Test {
protected:
    // Starts the simulator with these options and writes both banks.
    void WriteBothBanks(std::vector<std::string> simOptions) {
        simOptions.insert(simOptions.end(), {"--verbose", "--dump-gamma", dump_.string()});
        link_ = std::make_unique<SimulatorLink>(simOptions, 38400, log_.string());
        ASSERT_EQ(link_->Error(), "");
        ASSERT_TRUE(QueueGammaTables(link_->Link(), 0, banks_[0], kAllChannels));
        ASSERT_TRUE(QueueGammaTables(link_->Link(), 1, banks_[1], kAllChannels));
        dropped_ = link_->ServiceUntilIdle(kWriteLimit);
        ASSERT_FALSE(link_->Link().IsBusy(link_->Port())) << "the write did not end in time";
        // The simulator writes its dump once more as it ends.
        ASSERT_EQ(link_->Simulator().Stop(10s), 0);
    }
    int Received(const std::string& line) const { return SimulatorReceived(log_, line); }

    TempDir dir_;
    std::filesystem::path dump_ = dir_.Path() / "gamma.txt";
    std::filesystem::path log_ = dir_.Path() / "sim.log";
    std::array<GammaTable, 2> banks_ = Banks();
    std::unique_ptr<SimulatorLink> link_;
    bool dropped_ = false;
};

TEST_F(GammaWrite, EveryBlockArrivesIntactInItsTable) {
    WriteBothBanks({});
    EXPECT_FALSE(dropped_);
    EXPECT_TRUE(link_->Messages().empty());
    EXPECT_EQ(TempDir::Read(dump_), ExpectedDump(banks_, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(GammaWrite, RejectedBlocksAreResentAlone) {
    // The first data block is refused twice: it is sent again, without its announce, and
    // accepted at the third try.
    WriteBothBanks({"--err", "BLOCK:2"});
    EXPECT_TRUE(link_->Messages().empty());
    EXPECT_EQ(TempDir::Read(dump_), ExpectedDump(banks_, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(Received("GAMM   0"), 1);
    EXPECT_EQ(Received("gamma block 0"), 3);
}

TEST_F(GammaWrite, BlockRejectedRetryTimesDropsTheRest) {
    // Every data block is refused: the first one RETRY (3) times, then the queue is gone.
    WriteBothBanks({"--err", "BLOCK"});
    EXPECT_EQ(link_->Messages(), std::vector<int>{kMessageTransferRejected});
    EXPECT_EQ(TempDir::Read(dump_), "");
    EXPECT_EQ(Received("gamma block 0"), 3);
    EXPECT_EQ(Received("GAMM   1"), 0) << "dropped with the queue";
}

} // namespace
} // namespace tonedesk::test
