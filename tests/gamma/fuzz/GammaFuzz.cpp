// Fuzz target of the gamma file reader (see common/FuzzDriver.h): the text is read into a table,
// opened as the gamma editor's curves, saved in both layouts and opened again.
#include "common/FuzzDriver.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"
#include "support/Settings.h"

#include <array>
#include <string>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FuzzCheck;

namespace {

// What the editor may hold after opening any file: point lists in ascending x on the input axis,
// levels in range.
void CheckCurves(const GammaTable& table) {
    for (int c = 0; c < kChannelCount; ++c) {
        const ControlPointList& list = table.points[c];
        FuzzCheck(list.count >= 1 && list.count <= kMaxPoints, "point count");
        for (int k = 0; k < list.count; ++k) {
            FuzzCheck(list.points[k].x >= 0 && list.points[k].x <= 1023, "point position");
            FuzzCheck(k == 0 || list.points[k - 1].x < list.points[k].x, "points in order");
        }
        for (const std::uint16_t level : table.levels[c]) {
            FuzzCheck(level <= kMaxLevel, "level range");
        }
    }
}

// The curves the editor holds after opening `text`, checked.
GammaTable Open(const std::string& text) {
    GammaFileTable file;
    ParseGammaFile(text, file);
    MemorySettings settings;
    CGammaGraph graph(settings);
    graph.OpenTable(file);
    graph.RecomputeLevels();
    CheckCurves(graph.Active());
    return graph.Active();
}

// Whether a file holds the curves as they are: each point at a line's position (4 x i) and level.
bool FileHoldsExactly(const GammaTable& table) {
    for (int c = 0; c < kChannelCount; ++c) {
        for (int k = 0; k < table.points[c].count; ++k) {
            const ControlPoint& point = table.points[c].points[k];
            if (point.x % 4 != 0 || point.y != table.levels[c][point.x / 4]) {
                return false;
            }
        }
    }
    return true;
}

// The file the editor saves; the reader gives back every value written: the level, and the mark
// on each line that holds a point.
std::string Save(const GammaTable& table, bool fourColumns) {
    const std::string saved = FormatGammaFile(table, fourColumns);
    FuzzCheck(saved.size() == 256u * (fourColumns ? kFourColumnLineLength : kThreeColumnLineLength),
              "saved size");
    GammaFileTable again;
    ParseGammaFile(saved, again);
    for (int c = 0; c < kChannelCount; ++c) {
        std::array<std::uint32_t, kLevelCount> marks{};
        for (int k = 0; k < table.points[c].count; ++k) {
            marks[table.points[c].points[k].x / 4] = kControlPointMark;
        }
        for (int i = 0; i < kLevelCount; ++i) {
            FuzzCheck(again.At(c, i) == table.levels[c][i] + marks[i], "saved value read back");
        }
    }
    return saved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    GammaFileTable file;
    ParseGammaFile(text, file);
    // A short line leaves the preset's value where the file gives none.
    GammaFileTable onPreset = GammaFileTable::Identity();
    ParseGammaFile(text, onPreset, GammaReadBase::Current);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) {
            FuzzCheck(onPreset.At(c, i) == file.At(c, i) ||
                          (file.At(c, i) == 0 && onPreset.At(c, i) == 4u * i),
                      "preset base");
        }
    }
    // Curves that a file holds as they are open again unchanged once saved. (A file's points
    // may lie beyond the levels a file holds, and the spline may miss a point's level by the
    // truncation of its value: the save keeps the level there.)
    const GammaTable opened = Open(text);
    const bool exact = FileHoldsExactly(opened);
    for (const bool fourColumns : {false, true}) {
        const std::string saved = Save(opened, fourColumns);
        const GammaTable reopened = Open(saved);
        FuzzCheck(!exact || Save(reopened, fourColumns) == saved,
                  "a saved file opens as the curves it was saved from");
    }
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    return {
        ",",         "\r\n",        "\n",         "\r",         "\x1a", std::string(1, '\0'),
        "10000000",  "10001023",    "00001023",   "4294967295", "-1",   "$",
        "%",         "0x",          "0X",         " ",          "\t",   "99999999999",
        "$FFFFFFFF", "-2147483648", "2147483647", "1e3",        "+5",   std::string(40, ','),
    };
}
