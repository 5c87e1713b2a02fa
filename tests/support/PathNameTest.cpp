#include "support/PathName.h"

#include "support/ModelFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace tonedesk;

namespace {

struct SplitCase {
    const char* path;
    const char* drive;
    const char* directory;
    const char* name;
    const char* extension;
};

const SplitCase kSplitCases[] = {
    {"D:\\data\\a.gam", "D:", "\\data\\", "a", ".gam"},
    {"D:/data/a.gam", "D:", "/data/", "a", ".gam"},
    {"/home/tech/curves/x.tar.gz", "", "/home/tech/curves/", "x.tar", ".gz"},
    {"models.d/demo", "", "models.d/", "demo", ""},
    {"a\\b/c.ini", "", "a\\b/", "c", ".ini"},
    {"C:file.txt", "C:", "", "file", ".txt"},
    {"1:file", "", "", "1:file", ""}, // only a letter makes a drive
    {"/mnt/d:/x", "", "/mnt/d:/", "x", ""},
    {".profile", "", "", "", ".profile"},
    {"file.", "", "", "file", "."},
    {"/", "", "/", "", ""},
    {"", "", "", "", ""},
};

TEST(PathNameTest, SplitsIntoDriveDirectoryNameAndExtension) {
    for (const auto& c : kSplitCases) {
        SCOPED_TRACE(c.path);
        const PathParts parts = SplitPath(c.path);
        EXPECT_EQ(parts.drive, c.drive);
        EXPECT_EQ(parts.directory, c.directory);
        EXPECT_EQ(parts.name, c.name);
        EXPECT_EQ(parts.extension, c.extension);
        // Splitting and joining again gives the path back.
        EXPECT_EQ(MakePath(parts.drive, parts.directory, parts.name, parts.extension), c.path);
    }
}

TEST(PathNameTest, MakePathAddsTheMissingMarks) {
    EXPECT_EQ(MakePath("D", "\\x", "a", "gam"), "D:\\x\\a.gam");
    EXPECT_EQ(MakePath("D:", "", "a", "ini"), "D:a.ini");
    EXPECT_EQ(MakePath("", "/opt/td", "a", ".ini"), "/opt/td/a.ini");
    // The separator that the folder used last.
    EXPECT_EQ(MakePath("", "x\\a/b", "n", ""), "x\\a/b/n");
    EXPECT_EQ(MakePath("", "x/a\\b", "n", ""), "x/a\\b\\n");
    EXPECT_EQ(MakePath("", "", "", ""), "");
#ifndef _WIN32
    EXPECT_EQ(MakePath("", "rel", "a", ""), "rel/a");
#endif
}

struct PartsCase {
    const char* path;
    const char* folder;
    const char* title;
    const char* baseName;
    const char* extension;
};

TEST(PathNameTest, PathParts) {
    const PartsCase cases[] = {
        {"D:\\x\\file.", "D:\\x\\", "file", "file", ""},
        {"D:\\x\\file.ini", "D:\\x\\", "file.ini", "file", "ini"},
        {"D:\\x\\file", "D:\\x\\", "file", "file", ""},
        {"D:/x/file.ini", "D:/x/", "file.ini", "file", "ini"},
        {"D:\\data\\a.gam", "D:\\data\\", "a.gam", "a", "gam"},
        {"/opt/td/models/demo.INI", "/opt/td/models/", "demo.INI", "demo", "INI"},
        {"/opt/td/v1.2/cstrgb.gam", "/opt/td/v1.2/", "cstrgb.gam", "cstrgb", "gam"},
        {"a.b.c", "", "a.b.c", "a.b", "c"},
        {"E:a.x", "E:", "a.x", "a", "x"},
        {"/opt/td/", "/opt/td/", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFolder(c.path), c.folder);
        EXPECT_EQ(GetFileTitle(c.path), c.title);
        EXPECT_EQ(GetBaseName(c.path), c.baseName);
        EXPECT_EQ(GetExtension(c.path), c.extension);
    }
}

TEST(PathNameTest, ReplaceExtensionChangesThePathItself) {
    const struct {
        const char* path;
        const char* extension;
        const char* result;
    } cases[] = {
        {"D:\\g\\curve.gam", "bak", "D:\\g\\curve.bak"},
        {"D:/g/curve", ".gam", "D:/g/curve.gam"},
        {"/srv/v1.0/curve.gam", "", "/srv/v1.0/curve"},
        {"/srv/x.tar.gz", "bz2", "/srv/x.tar.bz2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CTextString path = c.path;
        const CTextString copy = ReplaceExtension(path, c.extension);
        EXPECT_EQ(path, c.result);
        EXPECT_EQ(copy, c.result);
    }
}

TEST(PathNameTest, PathNameFromNameBaseAndDefaultExtension) {
    const struct {
        const char* name;
        const char* base;
        const char* defaultExtension;
        const char* result;
    } cases[] = {
        {"a.ini", "D:\\prog\\", "", "D:\\prog\\a.ini"},
        {"a", "D:\\prog\\", "ini", "D:\\prog\\a.ini"},
        {"a", "D:\\prog", "gam", "D:\\prog\\a.gam"},
        {"a.ini", "/opt/prog/", "", "/opt/prog/a.ini"},
        {"a", "/opt/prog", "ini", "/opt/prog/a.ini"},
        {"a.txt", "/opt/prog/", "ini", "/opt/prog/a.txt"},      // own extension wins
        {"sub/a.ini", "/opt/prog/", "", "/opt/prog/sub/a.ini"}, // relative folder below the base
        {"sub/a.ini", "/opt/prog", "", "/opt/prog/sub/a.ini"},  // ... with a separator between
        {"/etc/td/a.ini", "/opt/prog/", "", "/etc/td/a.ini"},   // absolute folder kept
        {"\\x\\a.ini", "prog\\", "", "\\x\\a.ini"},
        {"\\\\srv\\share\\a.ini", "D:\\prog\\", "", "\\\\srv\\share\\a.ini"}, // network path
        {"//srv/share/a.ini", "D:/prog/", "", "//srv/share/a.ini"},
        {"E:a.ini", "D:\\prog\\", "", "E:\\prog\\a.ini"},   // own drive, the base's folder
        {"E:a.ini", "/opt/prog/", "", "E:/opt/prog/a.ini"}, // a base without drive stays whole
        {"E:\\x\\a.ini", "D:\\prog\\", "", "E:\\x\\a.ini"},
        {"a", "", "ini", "a.ini"}, // an empty base adds no folder
        {"a.", "/opt/", "ini", "/opt/a."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + c.base);
        EXPECT_EQ(CPathName(c.name, c.base, c.defaultExtension), c.result);
        EXPECT_EQ(CPathName(c.name, CTextString(c.base), c.defaultExtension), c.result);
    }
}

TEST(PathNameTest, NullBaseIsTheCurrentFolder) {
    const auto cwd = std::filesystem::current_path();
    EXPECT_EQ(CPathName("a", nullptr, "ini"), (cwd / "a.ini").string());
    EXPECT_EQ(CPathName("/abs/a.ini", nullptr), "/abs/a.ini");
}

TEST(PathNameTest, LongPartsAreKeptWhole) {
    const std::string folder = "/" + std::string(300, 'f') + "/";
    const std::string name = std::string(280, 'n');
    EXPECT_EQ(CPathName(name, folder, "ini"), folder + name + ".ini");
    EXPECT_EQ(GetFolder(folder + name + ".ini"), folder);
    EXPECT_EQ(GetBaseName(folder + name + ".ini"), name);
}

TEST(PathNameTest, CompareNoCaseFoldsToLowerCase) {
    EXPECT_EQ(CompareNoCase("Res.DLL", "res.dll"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    EXPECT_LT(CompareNoCase("a.ini", "B.ini"), 0);
    EXPECT_LT(CompareNoCase("B.ini", "d.INI"), 0);
    EXPECT_LT(CompareNoCase("ab", "ABC"), 0); // a prefix sorts first
    EXPECT_GT(CompareNoCase("ABC", "ab"), 0);
    // Characters between 'Z' and 'a' sort before every letter once letters are folded down.
    EXPECT_LT(CompareNoCase("_x", "A"), 0);
    EXPECT_LT(CompareNoCase("[x", "Z"), 0);
    EXPECT_GT(CompareNoCase("{", "z"), 0);
    // Bytes above 0x7F compare unsigned and are not folded.
    EXPECT_GT(CompareNoCase("\xE9", "z"), 0);
    EXPECT_NE(CompareNoCase("\xC9", "\xE9"), 0);
}

// XDG_DATA_HOME counts only when it is an absolute path; HOME stands in otherwise. The user's
// folder is searched first.
TEST(PathNameTest, TheUsersModelFolderFollowsTheDataHomeRules) {
    const char* const cases[][3] = {
        {"/data/", "/h", "/data/tonedesk/models/"},
        {"", "/h", "/h/.local/share/tonedesk/models/"},
        {"data", "/h/", "/h/.local/share/tonedesk/models/"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UserModelFolder(c[0], c[1]), c[2]) << (c[0] ? c[0] : "(unset)");
    }
    EXPECT_EQ((ModelFolders{"/p/", "/u/"}.SearchOrder()), (std::vector<std::string>{"/u/", "/p/"}));
}

} // namespace
