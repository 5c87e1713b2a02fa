#include "support/FileFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonedesk {
namespace {

const std::vector<std::string> kGamIni = {"*.gam", "*.ini"};

TEST(FileFilterTest, SplitsTabSeparatedPairs) {
    const auto one = ParseFilterText("Gamma files\t*.gam\t");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].description, "Gamma files");
    EXPECT_EQ(one[0].pattern, "*.gam");

    const auto two = ParseFilterText("A\t*.a\tB\t*.b\t");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].pattern, "*.b");

    // Without the final TAB the last pattern is not complete.
    EXPECT_EQ(ParseFilterText("A\t*.a\tB\t*.b").size(), 1u);
    EXPECT_TRUE(ParseFilterText("").empty());
    EXPECT_TRUE(ParseFilterText("only a description\t").empty());
}

TEST(FileFilterTest, PatternExtensions) {
    EXPECT_EQ(PatternExtension("*.gam", "x"), "gam");
    EXPECT_EQ(PatternExtension("*.*", "*"), "*");
    EXPECT_EQ(PatternExtension("*.*", "txt"), "txt");
    EXPECT_EQ(PatternExtension("*", "txt"), "");
}

TEST(FileFilterTest, CompletesTheChosenName) {
    struct Case {
        const char* typed;
        const char* preferred;
        int fileType;
        std::vector<std::string> patterns;
        const char* expected;
    };
    const std::vector<Case> cases = {
        // Started in a remembered folder (/data/): no preferred extension.
        {"/data/curve", "", 1, kGamIni, "/data/curve.gam"},
        {"/data/curve.txt", "", 1, kGamIni, "/data/curve.txt"},
        {"/data/curve.ini", "", 1, kGamIni, "/data/curve.ini"},
        {"/data/curve", "", 2, kGamIni, "/data/curve.ini"},
        // Started without an initial path: preferred extension "*".
        {"/work/curve", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.ini", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.INI", "*", 1, kGamIni, "/work/curve.gam"},
        {"/work/curve.txt", "*", 1, kGamIni, "/work/curve.txt.gam"},
        // An "all files" entry stands for the preferred extension, and a wildcard is never
        // written into a name.
        {"/work/notes", "*", 2, {"*.txt", "*.*"}, "/work/notes"},
        {"/work/notes.cfg", "*", 2, {"*.txt", "*.*"}, "/work/notes.cfg"},
        {"/work/notes.txt", "*", 2, {"*.txt", "*.*"}, "/work/notes.txt"},
        {"/work/notes.cfg", "txt", 2, {"*.txt", "*.*"}, "/work/notes.cfg.txt"},
        {"/work/notes", "", 2, {"*.txt", "*.*"}, "/work/notes"},
        // Dots in folder names are not extensions.
        {"/my.data/curve", "", 1, kGamIni, "/my.data/curve.gam"},
        {"/data/curve.", "", 1, kGamIni, "/data/curve.gam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " pref " + c.preferred);
        EXPECT_EQ(CompleteChosenPath(c.typed, c.patterns, c.preferred, c.fileType), c.expected);
    }
}

} // namespace
} // namespace tonedesk
