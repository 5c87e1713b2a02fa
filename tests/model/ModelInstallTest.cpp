#include "model/ModelInstall.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tonedesk {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Every entry below a folder with its content ("/" for a folder), so that a test can compare a
// whole tree byte for byte.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        tree[name] = entry.is_directory() ? "/" : TempDir::Read(entry.path());
    }
    return tree;
}

// A model DEMO.ini with its gamma folder in source/, and an empty program folder.
struct InstallFixture : ::testing::Test {
    void SetUp() override {
        model = dir.Write("source/DEMO.ini", "[MODEL]\nPROJECTOR_NAME=DEMO\n").string();
        dir.Write("source/DEMO/cstrgb.gam", "rgb\r\n");
        dir.Write("source/DEMO/cstvideo.gam", "video\r\n");
        fs::create_directories(program);
    }

    // Installs `path` into `target` (the program folder when empty), answering a replace
    // question with `reply`.
    InstallResult Install(const std::string& path, bool reply = false, fs::path target = {}) {
        return installer.Install(path, (target.empty() ? program : target).string(),
                                 [&](ReplaceSubject subject, const std::string& name) {
                                     asked.push_back(name);
                                     subjects.push_back(subject);
                                     return reply;
                                 });
    }

    // The model with two tabs in the bundle panel.rcc and one in sub/extra.rcc.
    void WithBundles() {
        model = dir.Write("source/DEMO.ini", "[PROPERTY]\nPROJECTOR_NAME=DEMO\n"
                                             "[TAB]\nID=1\nRESOURCEFILE=panel.rcc\n"
                                             "[TAB]\nID=2\nRESOURCEFILE=panel.rcc\n"
                                             "[TAB]\nID=3\nRESOURCEFILE=sub/extra.rcc\n")
                    .string();
        dir.Write("source/panel.rcc", "panel");
        dir.Write("source/sub/extra.rcc", "extra");
    }

    TempDir dir;
    fs::path program = dir.Path() / "program";
    std::string model;
    CModelInstall installer;
    std::vector<std::string> asked;
    std::vector<ReplaceSubject> subjects;
};

TEST_F(InstallFixture, IncompleteSourcesChangeNothing) {
    dir.Write("program/OTHER.ini", "other");
    const fs::path gamma = dir.Path() / "source/DEMO";
    fs::remove(gamma / "cstvideo.gam");
    const auto before = Tree(dir.Path());
    EXPECT_EQ(Install(model), InstallResult::MissingGammaFiles);
    EXPECT_EQ(Tree(dir.Path()), before);

    fs::create_directory(gamma / "cstvideo.gam"); // a folder is no gamma file
    EXPECT_EQ(Install(model), InstallResult::MissingGammaFiles);
    fs::remove_all(gamma);
    EXPECT_EQ(Install(model), InstallResult::MissingGammaFiles);
    fs::copy_file(model, gamma); // nor is a file a gamma folder
    EXPECT_EQ(Install(model), InstallResult::MissingGammaFiles);
    EXPECT_EQ(Install(gamma.string()), InstallResult::NoModelName);
    EXPECT_EQ(Tree(program), (std::map<std::string, std::string>{{"OTHER.ini", "other"}}));
    EXPECT_TRUE(asked.empty());
}

TEST_F(InstallFixture, AnInstalledModelIsReplacedOnlyWhenTheUserSaysYes) {
    dir.Write("program/DEMO.ini", "old model");
    dir.Write("program/DEMO/cstrgb.gam", "old rgb");
    const auto before = Tree(dir.Path());

    EXPECT_EQ(Install(model, false), InstallResult::Declined);
    EXPECT_EQ(asked, std::vector<std::string>{"DEMO"});
    EXPECT_EQ(Tree(dir.Path()), before);

    EXPECT_EQ(Install(model, true), InstallResult::Installed);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(TempDir::Read(program / "DEMO.ini"), TempDir::Read(model));
    EXPECT_EQ(TempDir::Read(program / "DEMO/cstrgb.gam"), "rgb\r\n");
    EXPECT_EQ(TempDir::Read(program / "DEMO/cstvideo.gam"), "video\r\n");
}

TEST_F(InstallFixture, InstalledFilesAreExactCopiesWithTimesAndMode) {
    // Larger than one copy chunk, with every byte value.
    std::string big(3 * kInstallCopyChunk + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 + i / 256);
    }
    dir.Write("source/DEMO/cstvideo.gam", big);
    const fs::path video = dir.Path() / "source/DEMO/cstvideo.gam";
    ASSERT_EQ(::chmod(video.c_str(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, video.c_str(), times, 0), 0);

    EXPECT_EQ(Install(model), InstallResult::Installed);
    EXPECT_TRUE(asked.empty());
    // Looked at before reading it back, which moves the access time.
    struct stat st {};
    ASSERT_EQ(::stat((program / "DEMO/cstvideo.gam").c_str(), &st), 0);

    const auto copied = Tree(program);
    const std::map<std::string, std::string> expected = {
        {"DEMO.ini", TempDir::Read(model)},
        {"DEMO", "/"},
        {"DEMO/cstrgb.gam", "rgb\r\n"},
        {"DEMO/cstvideo.gam", big},
    };
    EXPECT_EQ(copied, expected); // byte for byte, and no temporary file beside them

    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_atim.tv_sec, times[0].tv_sec);
    EXPECT_EQ(st.st_atim.tv_nsec, times[0].tv_nsec);
    EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
}

TEST_F(InstallFixture, AFailedCopyStopsAndLeavesNoTemporaryFile) {
    // A file where the gamma folder must be made: nothing is copied.
    dir.Write("program/DEMO", "not a folder");
    EXPECT_EQ(Install(model), InstallResult::Failed);
    EXPECT_EQ(Tree(program), (std::map<std::string, std::string>{{"DEMO", "not a folder"}}));

    // A folder where the second gamma file must go: the copies before it are taken back.
    fs::remove(program / "DEMO");
    fs::create_directories(program / "DEMO/cstvideo.gam");
    EXPECT_EQ(Install(model), InstallResult::Failed);
    const std::map<std::string, std::string> blocked = {
        {"DEMO", "/"},
        {"DEMO/cstvideo.gam", "/"},
    };
    EXPECT_EQ(Tree(program), blocked);

    // A pipe chosen as the model file is refused without waiting for a writer.
    const fs::path pipe = dir.Path() / "source/PIPE.ini";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    fs::copy(dir.Path() / "source/DEMO", dir.Path() / "source/PIPE");
    EXPECT_EQ(Install(pipe.string()), InstallResult::Failed);
    EXPECT_EQ(Tree(program), blocked);
}

TEST_F(InstallFixture, TheTabsBundlesAreInstalledWithTheModel) {
    WithBundles();
    EXPECT_EQ(Install(model), InstallResult::Installed);
    EXPECT_EQ(installer.InstalledFiles(),
              (std::vector<std::string>{"DEMO.ini", "DEMO/cstrgb.gam", "DEMO/cstvideo.gam",
                                        "panel.rcc", "sub/extra.rcc"}));
    EXPECT_EQ(TempDir::Read(program / "panel.rcc"), "panel");
    EXPECT_EQ(TempDir::Read(program / "sub/extra.rcc"), "extra");
    EXPECT_EQ(Tree(program).size(), 7u) << "no temporary file stays";

    // Installed again: the model is asked about, an unchanged bundle is not, a changed one is.
    dir.Write("source/sub/extra.rcc", "extra 2");
    EXPECT_EQ(Install(model, true), InstallResult::Installed);
    EXPECT_EQ(asked, (std::vector<std::string>{"DEMO", "sub/extra.rcc"}));
    EXPECT_EQ(subjects,
              (std::vector<ReplaceSubject>{ReplaceSubject::Model, ReplaceSubject::Bundle}));
    EXPECT_EQ(TempDir::Read(program / "sub/extra.rcc"), "extra 2");
}

TEST_F(InstallFixture, AMissingOrForeignBundleStopsTheInstallationBeforeAnyWrite) {
    WithBundles();
    const auto before = Tree(dir.Path());
    struct Case {
        std::string resourceFile;
        bool create; // the file exists beside the model
    };
    for (const Case& c : std::vector<Case>{{"none.rcc", false},
                                           {"../source/panel.rcc", true},
                                           {(dir.Path() / "source/panel.rcc").string(), true}}) {
        dir.Write("source/DEMO.ini", "[PROPERTY]\n[TAB]\nRESOURCEFILE=panel.rcc\n[TAB]\n"
                                     "RESOURCEFILE=" +
                                         c.resourceFile + "\n");
        EXPECT_EQ(Install(model, true), InstallResult::MissingBundle) << c.resourceFile;
        EXPECT_EQ(installer.MissingBundle(), c.resourceFile);
        EXPECT_TRUE(fs::is_empty(program)) << c.resourceFile;
    }
    WithBundles();
    EXPECT_EQ(Tree(dir.Path()), before);

    // A changed bundle that the user keeps: nothing is installed.
    dir.Write("program/panel.rcc", "someone else's");
    EXPECT_EQ(Install(model, false), InstallResult::Declined);
    EXPECT_EQ(Tree(program), (std::map<std::string, std::string>{{"panel.rcc", "someone else's"}}));
}

TEST_F(InstallFixture, AFailedInstallationPutsBackWhatItReplaced) {
    WithBundles();
    dir.Write("program/DEMO.ini", "old model");
    dir.Write("program/DEMO/cstrgb.gam", "old rgb");
    dir.Write("program/panel.rcc", "panel");
    fs::create_directories(program / "sub/extra.rcc"); // the last copy cannot be renamed
    const auto before = Tree(program);
    EXPECT_EQ(Install(model, true), InstallResult::Failed);
    EXPECT_EQ(Tree(program), before);
}

// A program folder that may not be written sends the model to the user's folder, made with its
// parents; the replace question looks at the target's copy only.
TEST_F(InstallFixture, AProgramFolderNotWritableSendsTheModelToTheUsersFolder) {
    const ModelFolders folders{program.string() + "/", (dir.Path() / "home/models/").string()};
    const auto writable = [](bool yes) { return [yes](const std::string&) { return yes; }; };
    EXPECT_EQ(InstallFolder(folders, writable(true)), folders.program);
    EXPECT_EQ(InstallFolder(folders, writable(false)), folders.user);
    EXPECT_EQ(InstallFolder({folders.program, ""}, writable(false)), folders.program);
    dir.Write("program/DEMO.ini", "packaged");
    EXPECT_EQ(Install(model, false, folders.user), InstallResult::Installed);
    EXPECT_EQ(TempDir::Read(folders.user + "DEMO/cstvideo.gam"), "video\r\n");
    EXPECT_EQ(Install(model, false, folders.user), InstallResult::Declined);
    EXPECT_EQ(asked, std::vector<std::string>{"DEMO"});
}

// The system's own check, where file modes bind (the super-user may write anywhere).
TEST_F(InstallFixture, AFolderWithoutWritePermissionIsNotWritable) {
    EXPECT_FALSE(FolderWritable((dir.Path() / "missing").string()));
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the super-user may write into any folder";
    }
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(FolderWritable(program.string()));
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_TRUE(FolderWritable(program.string()));
}

} // namespace
} // namespace tonedesk
