#include "support/FolderScan.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace tonedesk;
using tonedesk::test::TempDir;

namespace {

std::vector<std::string> Names(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

std::vector<std::string> Scan(const TempDir& dir, const std::string& pattern,
                              std::uint32_t excluded = kAttrDirectory) {
    std::vector<FolderEntry> entries;
    const int n = ScanFolder(dir.Path().string(), pattern, excluded, entries);
    EXPECT_EQ(n, static_cast<int>(entries.size()));
    return Names(entries);
}

using List = std::vector<std::string>;

TEST(FolderScanTest, ListsMatchingFilesSortedWithoutCase) {
    TempDir dir;
    for (const char* f : {"B.ini", "a.ini", "D.INI", "readme.txt", "c.ini.bak", "cini"}) {
        dir.Write(f, "x");
    }
    std::filesystem::create_directory(dir.Path() / "x.ini");

    EXPECT_EQ(Scan(dir, "*.ini"), (List{"a.ini", "B.ini", "D.INI"}));

    std::vector<FolderEntry> entries;
    EXPECT_EQ(ScanFolder(dir.Path().string(), "*.ini", 0, entries), 4);
    ASSERT_EQ(Names(entries), (List{"a.ini", "B.ini", "D.INI", "x.ini"}));
    EXPECT_EQ(entries[0].attributes, kAttrNormal);
    EXPECT_EQ(entries[3].attributes & kAttrDirectory, kAttrDirectory);
}

TEST(FolderScanTest, SortsAsLowerCaseFoldedNames) {
    TempDir dir;
    for (const char* f : {"Z.ini", "_z.ini", "a.ini", "[1].ini", "b.INI", "~x.ini"}) {
        dir.Write(f, "x");
    }
    // "_" and "[" lie between 'Z' and 'a': folded to lower case they sort before the letters.
    EXPECT_EQ(Scan(dir, "*.ini"), (List{"[1].ini", "_z.ini", "a.ini", "b.INI", "Z.ini", "~x.ini"}));
}

TEST(FolderScanTest, PatternsMatchWithoutCase) {
    TempDir dir;
    for (const char* f : {"demo1.INI", "demo12.ini", "Demo.ini", "dx.gam", "readme", "a.b.ini"}) {
        dir.Write(f, "x");
    }
    const struct {
        const char* pattern;
        List names;
    } cases[] = {
        {"*.ini", {"a.b.ini", "Demo.ini", "demo1.INI", "demo12.ini"}},
        {"*.INI", {"a.b.ini", "Demo.ini", "demo1.INI", "demo12.ini"}},
        {"demo?.ini", {"demo1.INI"}},
        {"DEMO*.ini", {"Demo.ini", "demo1.INI", "demo12.ini"}},
        {"d*o*", {"Demo.ini", "demo1.INI", "demo12.ini"}},
        {"*", {"a.b.ini", "Demo.ini", "demo1.INI", "demo12.ini", "dx.gam", "readme"}},
        {"readme", {"readme"}},
        {"?", {}},
        {"*.gam*", {"dx.gam"}},
        {"*.b.*", {"a.b.ini"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(Scan(dir, c.pattern), c.names);
    }
}

TEST(FolderScanTest, LeavesOutDotNames) {
    TempDir dir;
    for (const char* f : {"..odd.ini", ".x.ini", "a.ini", "..."}) {
        dir.Write(f, "x");
    }
    EXPECT_EQ(Scan(dir, "*", 0), (List{".x.ini", "a.ini"}));
}

TEST(FolderScanTest, ReadOnlyFilesAreMarked) {
    TempDir dir;
    const auto file = dir.Write("ro.ini", "x");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read);
    std::vector<FolderEntry> entries;
    ASSERT_EQ(ScanFolder(dir.Path().string(), "*.ini", 0, entries), 1);
    EXPECT_EQ(entries[0].attributes, kAttrReadOnly);
    entries.clear();
    EXPECT_EQ(ScanFolder(dir.Path().string(), "*.ini", kAttrReadOnly, entries), 0);
}

TEST(FolderScanTest, AppendsAndSortsOnlyTheNewEntries) {
    TempDir dir;
    dir.Write("b.ini", "x");
    dir.Write("A.ini", "x");
    std::vector<FolderEntry> entries{{"z.first", kAttrNormal}};
    EXPECT_EQ(ScanFolder(dir.Path().string(), "*.ini", kAttrDirectory, entries), 2);
    EXPECT_EQ(Names(entries), (List{"z.first", "A.ini", "b.ini"}));
}

TEST(FolderScanTest, NothingFoundLeavesTheEntriesAndTheCurrentFolderAlone) {
    TempDir dir;
    dir.Write("a.txt", "x");
    const auto file = dir.Write("plain.ini", "x");
    const auto cwd = std::filesystem::current_path();
    const std::vector<FolderEntry> before{{"kept", kAttrNormal}};
    for (const std::string& folder :
         {dir.Path().string(), (dir.Path() / "missing").string(), file.string(), std::string()}) {
        SCOPED_TRACE(folder);
        std::vector<FolderEntry> entries = before;
        EXPECT_EQ(ScanFolder(folder, "*.gam", kAttrDirectory, entries), 0);
        EXPECT_EQ(Names(entries), Names(before));
        EXPECT_EQ(std::filesystem::current_path(), cwd);
    }
    // A successful scan does not move the current folder either.
    std::vector<FolderEntry> entries;
    EXPECT_EQ(ScanFolder(dir.Path().string(), "*.ini", kAttrDirectory, entries), 1);
    EXPECT_EQ(std::filesystem::current_path(), cwd);
}

} // namespace
