// Calibration curves of ICC profiles: those another program installs, vcgt tags of each form
// and entry size, and profiles without curves or that are no profiles.
#include "color/IccVcgt.h"
#include "ColorToolKit.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>

namespace tonedesk::test {
namespace {

const std::filesystem::path kInstalledProfiles = "/usr/share/color/icc/colord";

// Each profile's curves as another reader prints them: six decimals, so within a level.
TEST(IccVcgt, InstalledProfilesReadAsAnotherReaderReadsThem) {
    TONEDESK_NEED_TOOL("cd-fix-profile");
    int withCurves = 0;
    for (const char* name : {"Bluish.icc", "Gamma5000K.icc", "Gamma5500K.icc", "Gamma6500K.icc"}) {
        SCOPED_TRACE(name);
        const std::string path = (kInstalledProfiles / name).string();
        if (!std::filesystem::exists(path)) {
            continue;
        }
        const CurveReadResult read = IccVcgt::Read(path);
        ASSERT_TRUE(read.Ok()) << read.error;
        const auto rows = ExtractedVcgt(path);
        ASSERT_EQ(rows.size(), 256u);
        for (int i = 0; i < kLevelCount; ++i) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(read.levels[c][i], 1023 * rows[i][c], 1.0)
                    << "entry " << i << " channel " << c;
            }
        }
        ++withCurves;
    }
    if (withCurves == 0) {
        GTEST_SKIP() << "no installed profile with calibration curves in " << kInstalledProfiles;
    }
}

void PutU16(std::string& out, unsigned v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v >> 16);
    PutU16(out, v & 0xFFFF);
}

// A profile whose vcgt tag is `tag` as it stands (a missing tag when empty).
std::string ProfileWithVcgt(const std::string& tag) {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    if (!tag.empty()) {
        cmsWriteRawTag(profile, cmsSigVcgtTag, tag.data(),
                       static_cast<cmsUInt32Number>(tag.size()));
    }
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string data(size, '\0');
    cmsSaveProfileToMem(profile, data.data(), &size);
    cmsCloseProfile(profile);
    return data;
}

// A table vcgt: `channels` channels of `count` entries of `bytes` bytes, entry k of channel c
// being value(c, k).
std::string TableTag(int channels, int count, int bytes, unsigned (*value)(int, int)) {
    std::string tag = "vcgt";
    PutU32(tag, 0);
    PutU32(tag, 0); // table
    PutU16(tag, static_cast<unsigned>(channels));
    PutU16(tag, static_cast<unsigned>(count));
    PutU16(tag, static_cast<unsigned>(bytes));
    for (int c = 0; c < channels; ++c) {
        for (int k = 0; k < count; ++k) {
            if (bytes == 1) {
                tag += static_cast<char>(value(c, k));
            } else {
                PutU16(tag, value(c, k));
            }
        }
    }
    return tag;
}

// A formula vcgt: gamma, min and max per channel, as s15.16 numbers.
std::string FormulaTag(const std::array<std::array<double, 3>, 3>& channels) {
    std::string tag = "vcgt";
    PutU32(tag, 0);
    PutU32(tag, 1); // formula
    for (const auto& channel : channels) {
        for (const double v : channel) {
            PutU32(tag, static_cast<std::uint32_t>(std::lround(v * 65536)));
        }
    }
    return tag;
}

TEST(IccVcgt, TablesOfEitherEntrySizeAndFormulasRead) {
    // 8-bit entries: red falls, green rises to half, blue is the identity.
    const CurveReadResult eight =
        IccVcgt::Parse(ProfileWithVcgt(TableTag(3, 256, 1, [](int c, int k) -> unsigned {
            return c == 0 ? 255 - k : c == 1 ? k / 2 : k;
        })));
    ASSERT_TRUE(eight.Ok()) << eight.error;
    for (const int i : {0, 1, 100, 254, 255}) {
        EXPECT_EQ(eight.levels[0][i], LevelOf((255 - i) / 255.0)) << i;
        EXPECT_EQ(eight.levels[1][i], LevelOf((i / 2) / 255.0)) << i;
        EXPECT_EQ(eight.levels[2][i], LevelOf(i / 255.0)) << i;
    }
    // 16 entries of 16 bits: linear between the samples at k / 15.
    const CurveReadResult sixteen = IccVcgt::Parse(ProfileWithVcgt(TableTag(
        3, 16, 2, [](int c, int k) -> unsigned { return c == 2 ? 65535u : k * k * 291u; })));
    ASSERT_TRUE(sixteen.Ok()) << sixteen.error;
    EXPECT_EQ(sixteen.levels[0][17], LevelOf(291 / 65535.0));     // on sample 1
    EXPECT_EQ(sixteen.levels[1][34], LevelOf(4 * 291 / 65535.0)); // on sample 2
    // Entry 25 lies between samples 1 and 2: 25/255 = (1 + 8/17) / 15.
    EXPECT_EQ(sixteen.levels[0][25], LevelOf((291 + 8.0 / 17 * 3 * 291) / 65535.0));
    EXPECT_EQ(sixteen.levels[2][0], 1023);
    // One channel serves all three: 4 entries of 8 bits, 0, 85, 170, 255, read linearly.
    const CurveReadResult one = IccVcgt::Parse(
        ProfileWithVcgt(TableTag(1, 4, 1, [](int, int k) -> unsigned { return 255 - 85 * k; })));
    ASSERT_TRUE(one.Ok()) << one.error;
    for (int c = 0; c < kChannelCount; ++c) {
        for (const int i : {0, 1, 85, 128, 255}) {
            EXPECT_EQ(one.levels[c][i], LevelOf(1 - i / 255.0)) << c << " " << i;
        }
    }
    // Formula: y = min + (max - min) x^gamma.
    const double gamma = std::round(2.2 * 65536) / 65536;
    const CurveReadResult formula =
        IccVcgt::Parse(ProfileWithVcgt(FormulaTag({{{2.2, 0, 1}, {2.2, 0.1, 0.9}, {1, 0, 1}}})));
    ASSERT_TRUE(formula.Ok()) << formula.error;
    for (int i = 0; i < kLevelCount; ++i) {
        const double x = i / 255.0;
        ASSERT_NEAR(formula.levels[0][i], LevelOf(std::pow(x, gamma)), 1) << i;
        ASSERT_NEAR(formula.levels[1][i], LevelOf(0.1 + 0.8 * std::pow(x, gamma)), 1) << i;
        ASSERT_NEAR(formula.levels[2][i], LevelOf(x), 1) << i;
    }
    EXPECT_EQ(formula.levels[0][128], 225);
    EXPECT_EQ(formula.levels[1][0], 102);
    EXPECT_EQ(formula.levels[1][255], 921);
}

TEST(IccVcgt, ProfilesWithoutCurvesOrThatAreNoProfilesAreRefused) {
    const struct {
        const char* name;
        std::string data;
        CurveReadStatus status;
        const char* error;
    } cases[] = {
        {"no vcgt", ProfileWithVcgt(""), CurveReadStatus::NoCurves,
         "this profile has no calibration curves (vcgt)"},
        {"empty", "", CurveReadStatus::Unreadable, "not an ICC profile"},
        {"text", std::string(200, 'x'), CurveReadStatus::Unreadable, "not an ICC profile"},
        {"vcgt cut short", ProfileWithVcgt(std::string("vcgt\0\0\0\0", 8)),
         CurveReadStatus::Malformed, "cannot be read"},
        {"one channel, entries cut short",
         ProfileWithVcgt(TableTag(1, 4, 2, [](int, int k) -> unsigned { return k; }).substr(0, 20)),
         CurveReadStatus::Malformed, "cannot be read"},
        {"two channels",
         ProfileWithVcgt(TableTag(2, 4, 2, [](int, int k) -> unsigned { return k; })),
         CurveReadStatus::Malformed, "cannot be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CurveReadResult read = IccVcgt::Parse(c.data);
        EXPECT_EQ(read.status, c.status);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    }
}

} // namespace
} // namespace tonedesk::test
