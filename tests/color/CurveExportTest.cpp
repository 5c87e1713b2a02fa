// The files the program writes: read back, they give the same levels exactly; other programs
// take them and read the same curves.
#include "ColorToolKit.h"
#include "color/BankCurveFile.h"
#include "color/CalFile.h"
#include "color/IccVcgt.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tonedesk::test {
namespace {

// Banks that catch a lost channel, a channel swap, rounding at either end and a curve that
// falls: every level 0..1023 appears in one of them.
std::vector<std::pair<std::string, ChannelLevels>> Banks() {
    std::vector<std::pair<std::string, ChannelLevels>> banks;
    ChannelLevels ramp{};
    ChannelLevels ends{};
    for (int part = 0; part < 4; ++part) {
        ChannelLevels every{};
        for (int i = 0; i < kLevelCount; ++i) {
            for (int c = 0; c < 3; ++c) {
                every[c][i] = static_cast<std::uint16_t>((part * 256 + i + c * 341) % 1024);
            }
        }
        banks.emplace_back("levels from " + std::to_string(part * 256), every);
    }
    for (int i = 0; i < kLevelCount; ++i) {
        ramp[0][i] = static_cast<std::uint16_t>(4 * i);
        ramp[1][i] = static_cast<std::uint16_t>(1023 - 4 * i);
        ramp[2][i] = static_cast<std::uint16_t>(i % 2 == 0 ? 0 : 1023);
        ends[0][i] = 0;
        ends[1][i] = 1;
        ends[2][i] = 1022;
    }
    banks.emplace_back("ramps", ramp);
    banks.emplace_back("ends", ends);
    return banks;
}

// The kind is the file name's extension in any case; a dot in a folder's name is none.
TEST(CurveExport, FileKindFollowsTheExtension) {
    const struct {
        const char* path;
        CurveFileKind kind;
    } cases[] = {
        {"bank.cal", CurveFileKind::Cal},       {"/m/BANK.CAL", CurveFileKind::Cal},
        {"p.Icc", CurveFileKind::Profile},      {"p.ICM", CurveFileKind::Profile},
        {"bank.gam", CurveFileKind::Gamma},     {"cal", CurveFileKind::Gamma},
        {"old.cal/bank", CurveFileKind::Gamma}, {"bank.cal.bak", CurveFileKind::Gamma},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CurveFileKindOf(c.path), c.kind) << c.path;
    }
}

TEST(CurveExport, WhatIsWrittenReadsBackAsTheSameLevels) {
    for (const auto& [name, levels] : Banks()) {
        SCOPED_TRACE(name);
        std::string error;
        const auto cal = CalFile::Format(levels, "Tue Dec  8 09:00:00 2026", &error);
        ASSERT_TRUE(cal) << error;
        const CurveReadResult calRead = CalFile::Parse(*cal);
        ASSERT_TRUE(calRead.Ok()) << calRead.error;
        EXPECT_EQ(calRead.levels, levels);
        EXPECT_TRUE(calRead.warnings.empty());

        const auto icc = IccVcgt::Format(levels, &error);
        ASSERT_TRUE(icc) << error;
        const CurveReadResult iccRead = IccVcgt::Parse(*icc);
        ASSERT_TRUE(iccRead.Ok()) << iccRead.error;
        EXPECT_EQ(iccRead.levels, levels);
    }
}

TEST(CurveExport, CalTextHoldsTheKeywordsAndRows) {
    ChannelLevels levels{};
    levels[0][1] = 1;
    std::string error;
    const auto cal = CalFile::Format(levels, "Tue Dec  8 09:00:00 2026", &error);
    ASSERT_TRUE(cal) << error;
    for (const char* expected :
         {"CAL\n", "DESCRIPTOR\t\"", "ORIGINATOR\t\"", "CREATED\t\"Tue Dec  8 09:00:00 2026\"",
          "DEVICE_CLASS\t\"DISPLAY\"", "COLOR_REP\t\"RGB\"", "NUMBER_OF_SETS\t256\n",
          "RGB_I\tRGB_R\tRGB_G\tRGB_B", " 0.00392157\t0.00097752\t0.00000000\t0.00000000\n"}) {
        EXPECT_NE(cal->find(expected), std::string::npos) << expected << "\n" << *cal;
    }
}

// Another program applies the written .cal file to the written profile, and reads the profile's
// curves as level / 1023 within a level.
TEST(CurveExport, OtherProgramsTakeTheWrittenFiles) {
    TONEDESK_NEED_TOOL("applycal");
    TONEDESK_NEED_TOOL("cd-fix-profile");
    TempDir dir;
    for (const auto& [name, levels] : Banks()) {
        SCOPED_TRACE(name);
        std::string error;
        const std::string cal = dir.Write("bank.cal", *CalFile::Format(levels, "now", &error));
        const std::string icc = dir.Write("bank.icc", *IccVcgt::Format(levels, &error));
        const std::string applied = (dir.Path() / "applied.icc").string();
        const ProgramResult r = RunTool({"applycal", cal, icc, applied});
        EXPECT_EQ(r.exit, 0) << r.out << r.err;
        EXPECT_TRUE(std::filesystem::exists(applied));
        std::filesystem::remove(applied);

        const auto rows = ExtractedVcgt(icc);
        ASSERT_EQ(rows.size(), 256u);
        for (int i = 0; i < kLevelCount; ++i) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(rows[i][c], levels[c][i] / 1023.0, 1 / 1023.0)
                    << "entry " << i << " channel " << c;
            }
        }
    }
}

} // namespace
} // namespace tonedesk::test
