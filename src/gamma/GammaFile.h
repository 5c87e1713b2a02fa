#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tonedesk {

class Notifier;
struct GammaTable;

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

// What a value that a gamma file does not supply reads as.
enum class GammaReadBase {
    Zeros,   // 0: the file alone makes the table
    Current, // the table's value before the read (a preset keeps its ramp where a line is short)
};

// How reading or writing a gamma file came out.
enum class GammaFileResult {
    Done,
    Failed, // the user was told why through the notifier
};

// Reads a gamma file of either layout into `table`. When it cannot be read, the user is told
// why through `notifier` and the table is unchanged. Values a short or malformed file does not
// supply come from `base`; a missing line still reads as an empty line, whose first column is 0.
GammaFileResult ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier,
                              GammaReadBase base = GammaReadBase::Zeros);
// Reads the text of a gamma file into `table`, as ReadGammaFile does; the text ends at its
// first NUL byte.
void ParseGammaFile(std::string text, GammaFileTable& table,
                    GammaReadBase base = GammaReadBase::Zeros);

// Line lengths of the two layouts (CR LF included).
inline constexpr int kFourColumnLineLength = 37;
inline constexpr int kThreeColumnLineLength = 28;

// The text of a gamma file for the three channels of `table`: each value is the level plus
// the mark when a control point of that channel lies on the line (x / 4). Four columns add
// the input position 4 x i.
std::string FormatGammaFile(const GammaTable& table, bool fourColumns);

// Writes the three channels of `table` as a gamma file. The text goes to a temporary file in
// the same folder that replaces `path` only once it is complete, so a failed write leaves an
// existing file as it was. A failure is told to the user.
GammaFileResult WriteGammaFile(const std::string& path, const GammaTable& table, bool fourColumns,
                               Notifier& notifier);

} // namespace tonedesk
