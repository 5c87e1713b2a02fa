#include "model/ModelFile.h"

#include "common/TestKit.h"
#include "support/FileRead.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <sys/stat.h>

using namespace tonedesk;

namespace {

std::string Property(const std::string& name, const std::string& more = {}) {
    return "[PROPERTY]\r\nPROJECTOR_NAME=" + name + "\r\n" + more;
}

// A gamma file whose red column holds 1000 + i, green 2000 + i, blue the mark plus i.
std::string GammaText() {
    std::string text;
    for (int i = 0; i < 256; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%08d,%08d,%08d\r\n", 1000 + i, 2000 + i, 10000000 + i);
        text += line;
    }
    return text;
}

class ModelSearch : public ::testing::Test {
protected:
    test::TempDir dir;
    test::RecordingNotifier notifier;
    CModelFile model{notifier, dir.Path().string()};
};

TEST_F(ModelSearch, CandidatesAreTriedInNameOrderWithoutCase) {
    dir.Write("b.ini", Property("DEMO", "[TAB]\nID=2\n"));
    dir.Write("A.ini", Property("DEM", "[TAB]\nID=1\n"));
    dir.Write("C.INI", Property("DEMO-100"));
    ASSERT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "A.ini");
    ASSERT_EQ(model.tabs.size(), 1u);
    EXPECT_EQ(model.tabs[0].id, 1);
    EXPECT_EQ(model.Folder(), dir.Path().string() + "/");
}

TEST_F(ModelSearch, OnlyMatchingIniFilesAreChosen) {
    dir.Write("a.ini", Property("OTHER"));
    dir.Write("b.txt", Property(""));
    std::filesystem::create_directory(dir.Path() / "c.ini");
    dir.Write("d.ini", "[TAB]\nID=1\n");
    EXPECT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::NotFound);
    dir.Write("e.Ini", Property("DEMO-100"));
    EXPECT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "e.Ini");
    EXPECT_TRUE(notifier.fileErrors.empty());
}

TEST_F(ModelSearch, EmptyFolderFindsNothing) {
    EXPECT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::NotFound);
    CModelFile missing(notifier, (dir.Path() / "none").string());
    EXPECT_EQ(missing.ReadModelFile("DEMO-100"), ModelLookup::NotFound);
    EXPECT_TRUE(notifier.fileErrors.empty());
}

TEST_F(ModelSearch, RepeatedIdentifierEndsTheSearch) {
    dir.Write("a.ini", Property("DEMO", "[TAB]\nID=1000\n[BUTTON]\nID=1000\n"));
    dir.Write("b.ini", Property("DEMO"));
    EXPECT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::RepeatedId);
    EXPECT_EQ(model.FileName(), "a.ini");
}

TEST_F(ModelSearch, UnreadableCandidatesArePassedOverAndNamed) {
    // A dangling link and a file over the size limit, before the projector's own file.
    std::filesystem::create_symlink(dir.Path() / "gone.txt", dir.Path() / "a.ini");
    dir.Write("b.ini", "");
    std::filesystem::resize_file(dir.Path() / "b.ini", kMaxReadFileSize + 1);
    dir.Write("c.ini", Property("DEMO", "[TAB]\nID=1\n"));
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "c.ini");
    EXPECT_EQ(model.tabs.size(), 1u);
    ASSERT_EQ(model.SkippedFiles().size(), 2u);
    EXPECT_EQ(model.SkippedFiles()[0].path, (dir.Path() / "a.ini").string());
    EXPECT_EQ(model.SkippedFiles()[0].reason, FileReadReason(ENOENT));
    EXPECT_EQ(model.SkippedFiles()[1].path, (dir.Path() / "b.ini").string());
    EXPECT_EQ(model.SkippedFiles()[1].reason, FileReadReason(kErrorFileTooLarge));
    EXPECT_TRUE(notifier.fileErrors.empty()) << "the callers name skipped files";

    // Each search names its own.
    std::filesystem::remove(dir.Path() / "a.ini");
    std::filesystem::remove(dir.Path() / "b.ini");
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    EXPECT_TRUE(model.SkippedFiles().empty());
}

TEST_F(ModelSearch, APipeAmongTheCandidatesIsRefusedNotWaitedOn) {
    const std::filesystem::path pipe = dir.Path() / "a.ini";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    dir.Write("b.ini", Property("DEMO"));
    EXPECT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "b.ini");
    ASSERT_EQ(model.SkippedFiles().size(), 1u);
    EXPECT_EQ(model.SkippedFiles()[0].reason, "not a regular file");
    EXPECT_EQ(model.ReadModelFile("OTHER"), ModelLookup::NotFound);
    EXPECT_EQ(model.SkippedFiles().size(), 1u);
}

TEST_F(ModelSearch, GammaFilesFillThePresetsAndAMissingOneIsReported) {
    dir.Write("DEMO/cstrgb.gam", GammaText());
    dir.Write("demo.ini", Property("DEMO", "GAMMAFILE1=DEMO/cstrgb.gam\n"
                                           "GAMMAFILE2=DEMO/missing.gam\n"
                                           "AUTORECVELAPSE=2\n[TAB]\nID=1\n"));
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    ASSERT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.fileErrors[0].fileName, (dir.Path() / "DEMO/missing.gam").string());
    EXPECT_EQ(model.autoReceiveElapse, 2000) << "the file is read on after the missing gamma file";
    EXPECT_EQ(model.tabs.size(), 1u);

    const GammaFileTable& first = model.presetGamma[0];
    EXPECT_EQ(first.At(0, 0), 1000u);
    EXPECT_EQ(first.At(1, 255), 2255u);
    EXPECT_EQ(first.At(2, 7), kControlPointMark + 7);
    EXPECT_EQ(model.presetGamma[1].At(0, 10), 40u) << "an unread preset keeps the ramp";
}

TEST_F(ModelSearch, PresetFromShortLinesKeepsTheRampWhereLinesEndEarly) {
    std::string oneColumn;
    for (int i = 0; i < 256; ++i) {
        oneColumn += std::to_string(1000 - i) + "\r\n";
    }
    dir.Write("one.gam", oneColumn);
    dir.Write("half.gam", "1,2,3\r\n");
    dir.Write("demo.ini", Property("DEMO", "GAMMAFILE1=one.gam\nGAMMAFILE2=half.gam\n"));
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    ASSERT_TRUE(notifier.fileErrors.empty());
    const GammaFileTable& one = model.presetGamma[0];
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(one.At(0, i), static_cast<std::uint32_t>(1000 - i)) << i;
        ASSERT_EQ(one.At(1, i), static_cast<std::uint32_t>(4 * i)) << i;
        ASSERT_EQ(one.At(2, i), static_cast<std::uint32_t>(4 * i)) << i;
    }
    // Lines missing at the end: only the red entry reads (as 0).
    const GammaFileTable& half = model.presetGamma[1];
    EXPECT_EQ(half.At(2, 0), 3u);
    EXPECT_EQ(half.At(0, 9), 0u);
    EXPECT_EQ(half.At(1, 9), 36u);
    EXPECT_EQ(half.At(2, 255), 1020u);
}

TEST_F(ModelSearch, GammaFilesThatAreNoRegularFilesAreRefusedNotWaitedOn) {
    ASSERT_EQ(mkfifo((dir.Path() / "pipe.gam").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.Path() / "zero.gam");
    dir.Write("demo.ini", Property("DEMO", "GAMMAFILE1=pipe.gam\nGAMMAFILE2=zero.gam\n"
                                           "AUTORECVELAPSE=3\n"));
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    ASSERT_EQ(notifier.fileErrors.size(), 2u);
    EXPECT_EQ(notifier.fileErrors[0].reason, "not a regular file");
    EXPECT_EQ(notifier.fileErrors[1].reason, "not a regular file");
    EXPECT_EQ(model.autoReceiveElapse, 3000);
    EXPECT_EQ(model.presetGamma[0].values, GammaFileTable::Identity().values);
}

TEST_F(ModelSearch, OtherModelsLeaveNothingBehind) {
    // Neither file is this projector's, but both set values that survive a file in the model.
    dir.Write("a.ini", "[PROPERTY]\nAUTORECVELAPSE=1\nGAMMAFILE1=a.gam\nGAMMAFILE3=none.gam\n");
    dir.Write("a.gam", GammaText());
    dir.Write("b.ini", "[PROPERTY]\nAUTORECVELAPSE=7\nGAMMAFILE2=none.gam\n"
                       "PROJECTOR_NAME=OTHER\n");
    dir.Write("c.ini", Property("DEMO"));
    ASSERT_EQ(model.ReadModelFile("DEMO"), ModelLookup::Found);
    EXPECT_EQ(model.FileName(), "c.ini");
    EXPECT_EQ(model.autoReceiveElapse, 180000);
    EXPECT_EQ(model.presetGamma[0].At(0, 1), 4u);
    EXPECT_TRUE(notifier.fileErrors.empty()) << "another model's gamma files are not read";
}

TEST_F(ModelSearch, EachSearchStartsAfresh) {
    dir.Write("a.ini", Property("ONE", "AUTORECVELAPSE=0\n[TAB]\nID=1\nCOMMAND=VOLM\n"));
    dir.Write("b.ini", Property("TWO", "[TAB]\nID=1\n[TAB]\nID=2\n"));
    ASSERT_EQ(model.ReadModelFile("ONE"), ModelLookup::Found);
    model.statusTable.FindOrAdd(CodeKey("POWR")).value = 1;
    ASSERT_EQ(model.ReadModelFile("TWO"), ModelLookup::Found);
    EXPECT_EQ(model.tabs.size(), 2u);
    EXPECT_EQ(model.autoReceiveElapse, 180000);
    EXPECT_EQ(model.statusTable.Count(), 0u);
}

// The user's model folder is searched before the program's; a model's gamma files and bundles
// are read beside it, else from the other folder.
TEST_F(ModelSearch, TheUsersModelWinsAndItsFilesAreFoundInEitherFolder) {
    const std::string program = dir.Path().string() + "/program/";
    const std::string user = dir.Path().string() + "/user/";
    dir.Write("program/demo.ini", Property("DEMO"));
    model.SetFolders({program, user});
    dir.Write("user/mine.ini", Property("DEMO", "GAMMAFILE1=g/a.gam\nGAMMAFILE2=g/b.gam\n"));
    for (const char* file : {"user/g/a.gam", "program/g/a.gam", "program/g/b.gam"}) {
        dir.Write(file, file[0] == 'u' ? "1\n" : "5\n");
    }
    ASSERT_EQ(model.ReadModelFile("DEMO-1"), ModelLookup::Found);
    EXPECT_EQ(model.FilePath(), user + "mine.ini");
    EXPECT_EQ(model.autoReceiveElapse, 180000);
    EXPECT_EQ(model.presetGamma[0].At(0, 0), 1u) << "its own folder's gamma file";
    EXPECT_EQ(model.presetGamma[1].At(0, 0), 5u) << "the program folder's, where it has none";
    EXPECT_EQ(model.PathBeside("g/b.gam"), program + "g/b.gam");
    EXPECT_EQ(model.PathBeside("none.rcc"), user + "none.rcc");
    EXPECT_TRUE(notifier.fileErrors.empty());
}

} // namespace
