// Fuzz target of the .cal reader (see common/FuzzDriver.h): any text is read or refused with a
// reason; what is read holds levels in range, and written again it reads back the same.
#include "color/CalFile.h"
#include "common/FuzzDriver.h"

#include <string>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const CurveReadResult read = CalFile::Parse(text);
    if (!read.Ok()) {
        FuzzCheck(!read.error.empty(), "a refusal says why");
        return 0;
    }
    for (const LevelTable& table : read.levels) {
        for (const std::uint16_t level : table) {
            FuzzCheck(level <= kMaxLevel, "level range");
        }
    }
    std::string error;
    const auto again = CalFile::Format(read.levels, "now", &error);
    FuzzCheck(again.has_value(), "what was read can be written");
    const CurveReadResult reread = CalFile::Parse(*again);
    FuzzCheck(reread.Ok() && reread.levels == read.levels, "written levels read back");
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    return {"CAL\n",
            "BEGIN_DATA\n",
            "END_DATA\n",
            "NUMBER_OF_SETS ",
            "NUMBER_OF_FIELDS ",
            "RGB_I",
            "RGB_R",
            "\"",
            "KEYWORD ",
            "1e308",
            "-1",
            "nan",
            "0.5",
            "\n",
            " ",
            "BEGIN_DATA_FORMAT\n",
            "END_DATA_FORMAT\n",
            "TV_OUTPUT_ENCODING \"YES\"\n",
            "99999999",
            std::string(1, '\0')};
}
