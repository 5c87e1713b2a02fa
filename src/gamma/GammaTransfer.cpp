#include "gamma/GammaTransfer.h"

#include <cstdio>

namespace tonedesk {

int GammaBlockNumber(int bank, int channel, int half) {
    return (bank == 1 ? 6 : 0) + 2 * channel + half;
}

std::array<std::uint8_t, kGammaAnnounceSize> GammaAnnounce(int block) {
    char text[16];
    std::snprintf(text, sizeof text, "GAMM%4d\r", block);
    std::array<std::uint8_t, kGammaAnnounceSize> bytes{};
    for (int k = 0; k < kGammaAnnounceSize; ++k) {
        bytes[k] = static_cast<std::uint8_t>(text[k]);
    }
    return bytes;
}

std::uint8_t GammaChecksum(std::span<const std::uint8_t> levelBytes) {
    unsigned sum = 0;
    for (const std::uint8_t b : levelBytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::array<std::uint8_t, kGammaBlockSize> GammaBlock(const LevelTable& levels, int half) {
    std::array<std::uint8_t, kGammaBlockSize> block{};
    for (int k = 0; k < 128; ++k) {
        const std::uint16_t level = levels[128 * half + k];
        block[2 * k] = static_cast<std::uint8_t>(level >> 8);
        block[2 * k + 1] = static_cast<std::uint8_t>(level & 0xFF);
    }
    block[256] = GammaChecksum(std::span(block).first<kGammaBlockSize - 1>());
    return block;
}

std::vector<ByteBuffer> GammaTransferEntries(int bank, const GammaTable& table, int channel) {
    std::vector<ByteBuffer> entries;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (channel != kAllChannels && ch != channel) {
            continue;
        }
        for (int half = 0; half < 2; ++half) {
            const auto announce = GammaAnnounce(GammaBlockNumber(bank, ch, half));
            entries.emplace_back(announce.begin(), announce.end());
            const auto block = GammaBlock(table.levels[ch], half);
            entries.emplace_back(block.begin(), block.end());
        }
    }
    return entries;
}

} // namespace tonedesk
