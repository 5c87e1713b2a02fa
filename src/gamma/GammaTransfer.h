#pragma once

#include "gamma/GammaTable.h"
#include "support/TextString.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tonedesk {

// Bytes of one data block: 128 big-endian levels and a checksum.
inline constexpr int kGammaBlockSize = 257;
// Bytes of the announce command "GAMM%4d\r".
inline constexpr int kGammaAnnounceSize = 9;

// Block of a half table: 6 x bank 1 + 2 x channel + half (bank 0 for any bank but 1).
int GammaBlockNumber(int bank, int channel, int half);

// "GAMM%4d\r" for the block.
std::array<std::uint8_t, kGammaAnnounceSize> GammaAnnounce(int block);

// The checksum of a data block: the sum of its 256 level bytes modulo 256.
std::uint8_t GammaChecksum(std::span<const std::uint8_t> levelBytes);

// Levels 128 x half .. 128 x half + 127, high byte first, then the sum of those 256 bytes
// modulo 256.
std::array<std::uint8_t, kGammaBlockSize> GammaBlock(const LevelTable& levels, int half);

// What a write sends, in order: for each requested channel (all three for -1) and each half,
// the announce command and then the data block.
std::vector<ByteBuffer> GammaTransferEntries(int bank, const GammaTable& table, int channel);

} // namespace tonedesk
