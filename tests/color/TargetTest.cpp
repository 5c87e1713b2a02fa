// The standard targets, against levels worked out apart from the program from each published
// formula (Python, double precision), at points along each curve.
#include "color/Target.h"

#include <gtest/gtest.h>

namespace tonedesk {
namespace {

TEST(Target, LevelsFollowThePublishedFormulas) {
    const struct {
        const char* target;
        int entry;
        int level;
    } cases[] = {
        {"gamma:1", 64, 257},     {"gamma:1", 200, 802},
        {"gamma:2.2", 20, 4},     {"gamma:2.2", 128, 225},
        {"gamma:2.2", 250, 979},  {"gamma:3", 128, 129},
        {"gamma:3", 200, 494},    {"srgb", 5, 2},
        {"srgb", 10, 3},          {"srgb", 64, 52},
        {"srgb", 128, 221},       {"srgb", 250, 978},
        {"bt1886:0", 20, 2},      {"bt1886:0", 128, 196},
        {"bt1886:0.001", 20, 7},  {"bt1886:0.001", 128, 222},
        {"bt1886:0.1", 5, 9},     {"bt1886:0.1", 64, 143},
        {"bt1886:0.1", 200, 693}, {"lstar", 10, 4},
        {"lstar", 20, 9},         {"lstar", 128, 190},
        {"lstar", 200, 552},      {"pq", 64, 5},
        {"pq", 128, 96},          {"pq", 200, 1023},
        {"pq:100", 20, 2},        {"pq:100", 64, 53},
        {"pq:100", 128, 962},     {"pq:10000", 128, 10},
        {"pq:10000", 200, 138},   {"pq:10000", 250, 849},
        {"hlg", 10, 1},           {"hlg", 64, 21},
        {"hlg", 128, 86},         {"hlg", 200, 323},
        {"hlg", 250, 919},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " entry " + std::to_string(c.entry));
        std::string error;
        const auto target = Target::Parse(c.target, &error);
        ASSERT_TRUE(target) << error;
        const LevelTable levels = target->Levels();
        EXPECT_EQ(levels[c.entry], c.level);
        // Every target runs from black to full white, never falling.
        EXPECT_EQ(levels[0], 0);
        EXPECT_EQ(levels[255], kMaxLevel);
        for (int i = 1; i < kLevelCount; ++i) {
            ASSERT_GE(levels[i], levels[i - 1]) << "entry " << i;
        }
    }
}

TEST(Target, UnknownNamesAndParametersOutOfRangeAreRefused) {
    const struct {
        const char* text;
        const char* error; // a part of the message
    } cases[] = {
        {"gamma", "needs the exponent G"},
        {"gamma:0.9", "in 1..3, not '0.9'"},
        {"gamma:3.01", "in 1..3"},
        {"gamma:2x", "not '2x'"},
        {"gamma:", "not ''"},
        {"gamma:nan", "not 'nan'"},
        {"bt1886:-0.01", "in 0..0.1"},
        {"bt1886:0.2", "in 0..0.1"},
        {"pq:99", "in 100..10000"},
        {"pq:10001", "in 100..10000"},
        {"srgb:2", "takes no parameter"},
        {"hlg:1", "takes no parameter"},
        {"rec709", "unknown target 'rec709'"},
        {"", "unknown target ''"},
        {"SRGB", "unknown target"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        EXPECT_FALSE(Target::Parse(c.text, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    // Parameters at the ends of their ranges, and the peak's default.
    for (const char* text :
         {"gamma:1", "gamma:3", "bt1886:0", "bt1886:0.1", "bt1886", "pq:100", "pq:10000"}) {
        EXPECT_TRUE(Target::Parse(text, nullptr)) << text;
    }
    EXPECT_EQ(Target::Parse("pq", nullptr)->parameter, 1000);
}

} // namespace
} // namespace tonedesk
