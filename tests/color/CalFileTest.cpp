// .cal files: those another program writes at several resolutions, files the reader must refuse,
// and the files the program writes, read back here and by that other program.
#include "color/CalFile.h"
#include "ColorToolKit.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tonedesk::test {
namespace {

// Power curves 2.2, 2.0 and 1.8 on red, green and blue, sampled at each resolution: the reader
// interpolates linearly between the samples, so a coarse file gives other levels than a fine
// one. The expected levels were worked out from the files' own numbers in Python.
TEST(CalFile, FilesOfAnotherProgramReadAtEveryResolution) {
    TONEDESK_NEED_TOOL("synthcal");
    TempDir dir;
    const struct {
        int resolution;
        int entry;
        std::array<int, 3> levels; // -1: the power law's own level, +-1
    } cases[] = {
        {2, 64, {257, 257, 257}},   {2, 200, {802, 802, 802}},  {5, 32, {24, 32, 42}},
        {5, 100, {148, 173, 203}},  {5, 240, {910, 918, 926}},  {17, 32, {11, 16, 24}},
        {17, 100, {131, 158, 190}}, {17, 240, {896, 906, 917}}, {256, 0, {-1, -1, -1}},
        {1024, 0, {-1, -1, -1}},
    };
    const double powers[3] = {2.2, 2.0, 1.8};
    for (const auto& c : cases) {
        SCOPED_TRACE("resolution " + std::to_string(c.resolution));
        std::string name = "r";
        name += std::to_string(c.resolution);
        const std::string base = (dir.Path() / name).string();
        const ProgramResult made =
            RunTool({"synthcal", "-r", std::to_string(c.resolution), "-p", "2.2,2.0,1.8", base});
        ASSERT_EQ(made.exit, 0) << made.err;
        const CurveReadResult read = CalFile::Read(base + ".cal");
        ASSERT_TRUE(read.Ok()) << read.error;
        EXPECT_TRUE(read.warnings.empty());
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_EQ(read.levels[ch][0], 0);
            EXPECT_EQ(read.levels[ch][255], 1023);
            if (c.levels[ch] >= 0) {
                EXPECT_EQ(read.levels[ch][c.entry], c.levels[ch]) << "channel " << ch;
                continue;
            }
            for (int i = 0; i < kLevelCount; ++i) {
                ASSERT_NEAR(read.levels[ch][i], LevelOf(std::pow(i / 255.0, powers[ch])), 1)
                    << "channel " << ch << " entry " << i;
            }
        }
    }
}

// The refusals tonedesk-cli shows are in its own table; these are the rest.
TEST(CalFile, BadFilesAreRefusedSayingWhy) {
    const std::string fields = "RGB_I RGB_R RGB_G RGB_B";
    const std::string rows = "0 0 0 0\n1 1 1 1\n";
    const struct {
        const char* name;
        std::string text;
        CurveReadStatus status;
        const char* error; // a part of the message
    } cases[] = {
        {"empty", "", CurveReadStatus::Unreadable, "empty"},
        {"no fields", "hello world\n", CurveReadStatus::Malformed, "no field RGB_I"},
        {"binary", std::string("\0\x01\x02\xff", 4), CurveReadStatus::Unreadable, "CGATS"},
        {"no blue", CalFileText(rows, "", "RGB_I RGB_R RGB_G RGB_X"), CurveReadStatus::Malformed,
         "no field RGB_B"},
        {"number and text", CalFileText("0 0 0 0\n1 1 1 1x\n", "", fields),
         CurveReadStatus::Malformed, "RGB_B in row 2"},
        {"repeated input", CalFileText("0 0 0 0\n0 1 1 1\n", "", fields),
         CurveReadStatus::Malformed, "ascend"},
        {"input above 1", CalFileText("0 0 0 0\n1.5 1 1 1\n", "", fields),
         CurveReadStatus::Malformed, "ascend within [0, 1] (row 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CurveReadResult read = CalFile::Parse(c.text);
        EXPECT_EQ(read.status, c.status);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    }
}

// Values outside [0, 1] are clamped, told once; video encoding "NO" is the plain kind; the
// ends hold before the first and after the last sample.
TEST(CalFile, ValuesOutsideTheRangeAreClampedWithOneWarning) {
    const CurveReadResult read =
        CalFile::Parse(CalFileText("-0.2 0.25 0.1 0.3\n1.3 0.75 0.9 1.7\n",
                                   "TV_OUTPUT_ENCODING \"NO\"", "RGB_B RGB_I RGB_G RGB_R"));
    ASSERT_TRUE(read.Ok()) << read.error;
    ASSERT_EQ(read.warnings.size(), 1u);
    EXPECT_EQ(read.warnings[0], "values outside [0, 1] were clamped");
    // Columns by name, not by place: red is the last column.
    EXPECT_EQ(read.levels[0][0], 307);    // 0.3 held below 0.25
    EXPECT_EQ(read.levels[0][255], 1023); // 1.7 clamped
    EXPECT_EQ(read.levels[1][0], 102);
    EXPECT_EQ(read.levels[1][128], 515); // 0.1 + (128/255 - 0.25) / 0.5 x 0.8
    EXPECT_EQ(read.levels[2][0], 0);     // -0.2 clamped
    EXPECT_EQ(read.levels[2][255], 1023);
}

} // namespace
} // namespace tonedesk::test
