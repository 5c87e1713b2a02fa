#include "gamma/GammaTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace tonedesk {
namespace {

std::string Text(const ByteBuffer& b) {
    return {b.begin(), b.end()};
}

TEST(GammaTransfer, BlockNumbersAndAnnounces) {
    const int expected[2][3][2] = {{{0, 1}, {2, 3}, {4, 5}}, {{6, 7}, {8, 9}, {10, 11}}};
    for (int bank = 0; bank < 2; ++bank) {
        for (int ch = 0; ch < 3; ++ch) {
            for (int half = 0; half < 2; ++half) {
                EXPECT_EQ(GammaBlockNumber(bank, ch, half), expected[bank][ch][half]);
            }
        }
    }
    EXPECT_EQ(GammaBlockNumber(5, 0, 0), 0); // any bank but 1 counts from 0
    const auto a0 = GammaAnnounce(0);
    const auto a11 = GammaAnnounce(11);
    EXPECT_EQ(std::string(a0.begin(), a0.end()), "GAMM   0\r");
    EXPECT_EQ(std::string(a11.begin(), a11.end()), "GAMM  11\r");
}

TEST(GammaTransfer, BlocksAreBigEndianWithChecksum) {
    const LevelTable identity = IdentityLevels();
    const auto b0 = GammaBlock(identity, 0);
    const auto b1 = GammaBlock(identity, 1);
    EXPECT_EQ((std::vector<int>(b0.begin(), b0.begin() + 6)), (std::vector<int>{0, 0, 0, 4, 0, 8}));
    EXPECT_EQ((std::vector<int>(b1.begin(), b1.begin() + 4)), (std::vector<int>{2, 0, 2, 4}));
    EXPECT_EQ(b0[254], 0x01);
    EXPECT_EQ(b0[255], 0xFC); // entry 127 = 508
    EXPECT_EQ(b0[256], 0x40); // 64 high bytes of 1 and low bytes summing to 16128
    EXPECT_EQ(b1[256], 0x40); // high bytes 2 and 3, 64 of each

    LevelTable full{};
    full.fill(1023);
    const auto f = GammaBlock(full, 0);
    for (int k = 0; k < 128; ++k) {
        ASSERT_EQ(f[2 * k], 0x03);
        ASSERT_EQ(f[2 * k + 1], 0xFF);
    }
    EXPECT_EQ(f[256], 0);
}

TEST(GammaTransfer, AllChannelsInOrder) {
    GammaTable t;
    t.levels[1][0] = 1;
    t.levels[2][128] = 2;
    const auto entries = GammaTransferEntries(0, t, -1);
    ASSERT_EQ(entries.size(), 12u);
    std::size_t total = 0;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        total += entries[k].size();
        if (k % 2 == 0) {
            char announce[16];
            std::snprintf(announce, sizeof announce, "GAMM%4d\r", static_cast<int>(k / 2));
            EXPECT_EQ(Text(entries[k]), announce);
        } else {
            EXPECT_EQ(entries[k].size(), 257u);
        }
    }
    EXPECT_EQ(total, 1596u);
    EXPECT_EQ(entries[5][1], 1);  // green, first half
    EXPECT_EQ(entries[11][1], 2); // blue, second half
}

TEST(GammaTransfer, OneChannelOfBankOne) {
    GammaTable t;
    t.levels[2].fill(1023);
    const auto entries = GammaTransferEntries(1, t, 2);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(Text(entries[0]), "GAMM  10\r");
    EXPECT_EQ(Text(entries[2]), "GAMM  11\r");
    const auto block = GammaBlock(t.levels[2], 0);
    EXPECT_EQ(entries[1], ByteBuffer(block.begin(), block.end()));
    EXPECT_EQ(entries[3][1], 0xFF);
    EXPECT_EQ(entries[0].size() + entries[1].size() + entries[2].size() + entries[3].size(), 532u);
}

} // namespace
} // namespace tonedesk
