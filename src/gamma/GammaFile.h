#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tonedesk {

class Notifier;

// A value at or above this marks a control point; its level is value - kControlPointMark.
inline constexpr std::uint32_t kControlPointMark = 10000000;

// The in-memory image of one gamma file: 3 x 256 values, channel-major (red lines 0..255, then
// green, then blue).
struct GammaFileTable {
    std::array<std::uint32_t, 3 * 256> values{};

    std::uint32_t& At(int channel, int line) { return values[channel * 256 + line]; }
    std::uint32_t At(int channel, int line) const { return values[channel * 256 + line]; }
    // Every channel the identity ramp 4 x i, no marks.
    static GammaFileTable Identity();
};

// Reads a gamma file of either layout into `table`. Returns 0, or -1 after telling the user
// through `notifier` why the file could not be read (the table is then unchanged).
int ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier);

} // namespace tonedesk
