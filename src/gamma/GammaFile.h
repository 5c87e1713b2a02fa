#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// How writing a gamma file came out.
enum class GammaFileResult {
    Done,
    Failed, // the user was told why through the notifier
};

// What reading a gamma file came to.
enum class GammaReadResult {
    Read,          // the table holds the file's values
    NotAGammaFile, // binary data, or no line holds a number: the table is unchanged
    Unreadable,    // the file could not be opened or read: the table is unchanged
};

// A line of a gamma file that did not read completely: a colour value is missing, or text after
// the values was not read.
struct GammaLineIssue {
    int line = 0;     // from 1
    std::string text; // the line, control characters shown as '?'
};

// What the reader saw in a gamma file's text, beside its values.
struct GammaTextReport {
    bool binary = false;    // a NUL byte with more text after it: binary data or UTF-16 text
    int dataLines = 0;      // lines from which at least one number was read
    int lines = 0;          // lines the text holds, at most 256
    bool moreLines = false; // text after line 256, which is not read
    std::vector<GammaLineIssue> incomplete;

    bool IsGammaFile() const { return !binary && dataLines > 0; }
};

// Reads a gamma file of either layout into `table`. The user is told through `notifier` why a
// file could not be read or is no gamma file; the table is then unchanged. Values a short or
// malformed file does not supply come from `base`; a missing line still reads as an empty line,
// whose first column is 0. `report`, when given, receives what the reader saw in the text.
GammaReadResult ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier,
                              GammaReadBase base = GammaReadBase::Zeros,
                              GammaTextReport* report = nullptr);
// Reads the text of a gamma file into `table`, as ReadGammaFile does, whatever the text is: a
// UTF-8 byte order mark is passed over, blanks may stand around the commas, CR CR LF ends one
// line, and the text ends at a NUL byte or the end mark 0x1A.
GammaTextReport ParseGammaFile(std::string text, GammaFileTable& table,
                               GammaReadBase base = GammaReadBase::Zeros);
// One text per finding of `report` that the user should know of, for warnings: the lines that
// did not read completely, missing lines and lines past the 256th.
std::vector<std::string> DescribeGammaTextIssues(const GammaTextReport& report);

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
