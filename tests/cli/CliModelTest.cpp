// tonedesk-cli model and lint, run as programs. A copy of tonedesk-cli in a temporary folder
// reads the model files put beside it there.
#include "common/ChildProcess.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

using CliResult = ProgramResult;

class CliModel : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("TONEDESK_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "TONEDESK_BIN_DIR is not set";
        bin_ = bin;
    }

    CliResult Run(const std::filesystem::path& cli, const std::vector<std::string>& args) {
        std::vector<std::string> argv{cli.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv,
                          {{"XDG_CONFIG_HOME", (dir_.Path() / "config").string()},
                           {"XDG_DATA_HOME", (dir_.Path() / "data").string()}},
                          30s);
    }
    CliResult Run(const std::vector<std::string>& args) { return Run(bin_ / "tonedesk-cli", args); }

    // tonedesk-cli copied into a folder of its own, beside these model files.
    std::filesystem::path CliBeside(const std::map<std::string, std::string>& files) {
        const auto folder = dir_.Path() / "programs";
        std::filesystem::create_directories(folder);
        for (const auto& [name, text] : files) {
            dir_.Write("programs/" + name, text);
        }
        std::filesystem::copy_file(bin_ / "tonedesk-cli", folder / "tonedesk-cli",
                                   std::filesystem::copy_options::overwrite_existing);
        return folder / "tonedesk-cli";
    }

    TempDir dir_;
    std::filesystem::path bin_;
};

TEST_F(CliModel, PrintsTheChosenFileAndTheModel) {
    const CliResult r = Run({"model", "DEMO-100"});
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto lineEnd = r.out.find('\n');
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_EQ(r.out.substr(0, lineEnd), (bin_ / "DEMO-100.ini").string());
    const std::string json = r.out.substr(lineEnd + 1);
    EXPECT_TRUE(json.starts_with(
        R"({"autoReceiveElapse":5000,"tabs":[{"id":300,"resourceFile":"demo100.rcc",)"))
        << json;
    EXPECT_NE(json.find(R"("kind":"[SLIDER BAR]","id":1002,"max":1000,"min":0,"freq":100,)"),
              std::string::npos);
    EXPECT_NE(json.find(R"("saveCommands2":[["INPT",null],["VOLM",null],["MUTE",null]]})"),
              std::string::npos);
}

// A model in the user's folder ($XDG_DATA_HOME/tonedesk/models) wins over the programs' own;
// the files it names are found in either folder, also by lint.
TEST_F(CliModel, TheUsersModelComesFirstAndFindsTheProgramsFiles) {
    const auto mine = dir_.Write("data/tonedesk/models/mine.ini",
                                 "[PROPERTY]\nPROJECTOR_NAME=DEMO\nAUTORECVELAPSE=9\n"
                                 "GAMMAFILE1=DEMO-100/cstrgb.gam\n");
    const CliResult r = Run({"model", "DEMO-100"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(mine.string() + "\n{\"autoReceiveElapse\":9000,")) << r.out;
    EXPECT_EQ(r.err, "");
    const CliResult lint = Run({"lint", mine.string()});
    EXPECT_EQ(lint.out.find("not found"), std::string::npos) << lint.out;
}

TEST_F(CliModel, ExitStatusTellsMissingFromRepeated) {
    const auto cli = CliBeside({
        {"a.ini", "[PROPERTY]\nPROJECTOR_NAME=DUP\n[TAB]\nID=1000\n[BUTTON]\nID=1000\n"},
        {"b.ini", "[PROPERTY]\nPROJECTOR_NAME=X\n[TAB]\nRESOURCEFILE=q\"\\\x01.rcc\n"},
    });
    const CliResult repeated = Run(cli, {"model", "DUP-1"});
    EXPECT_EQ(repeated.exit, 3);
    EXPECT_EQ(repeated.out, "");
    EXPECT_NE(repeated.err.find((cli.parent_path() / "a.ini").string() + " repeats an identifier"),
              std::string::npos)
        << repeated.err;

    const CliResult missing = Run(cli, {"model", "NONE"});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_EQ(missing.out, "");

    const CliResult found = Run(cli, {"model", "X-9"});
    EXPECT_EQ(found.exit, 0) << found.err;
    EXPECT_TRUE(found.out.starts_with((cli.parent_path() / "b.ini\n").string())) << found.out;
    EXPECT_NE(found.out.find(R"("resourceFile":"q\"\\\u0001.rcc")"), std::string::npos)
        << found.out;
}

TEST_F(CliModel, AnUnreadableModelFileIsNamedAndPassedOver) {
    const auto cli = CliBeside({{"b.ini", "[PROPERTY]\nPROJECTOR_NAME=X\n"}});
    std::filesystem::create_symlink("gone.ini", cli.parent_path() / "a.ini");
    const CliResult found = Run(cli, {"model", "X-9"});
    EXPECT_EQ(found.exit, 0) << found.err;
    EXPECT_TRUE(found.out.starts_with((cli.parent_path() / "b.ini\n").string())) << found.out;
    EXPECT_NE(found.err.find((cli.parent_path() / "a.ini").string() + ": "), std::string::npos)
        << found.err;
    EXPECT_NE(found.err.find("skipped"), std::string::npos) << found.err;
}

// Single bytes of the sample bundle's tree and names changed: lint names a bundle it refuses,
// and never ends by a signal.
TEST_F(CliModel, LintSurvivesADamagedBundle) {
    const std::string bundle = TempDir::Read(bin_ / "demo100.rcc");
    std::filesystem::copy(bin_ / "DEMO-100", dir_.Path() / "DEMO-100");
    const auto model = dir_.Path() / "DEMO-100.ini";
    std::filesystem::copy_file(bin_ / "DEMO-100.ini", model);
    int refused = 0;
    for (std::size_t at = BundleNamesOffset(bundle); at < bundle.size(); at += 23) {
        std::string damaged = bundle;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        dir_.Write("demo100.rcc", damaged);
        const CliResult r = Run({"lint", model.string()});
        ASSERT_TRUE(r.exit == 0 || r.exit == 1)
            << "byte " << at << ": " << r.exit.value_or(-1) << r.err;
        refused += r.out.find("is not a valid resource bundle") != std::string::npos;
    }
    EXPECT_GT(refused, 0);
}

TEST_F(CliModel, LintReportsWithLineNumbers) {
    const CliResult clean = Run({"lint", (bin_ / "DEMO-100.ini").string()});
    EXPECT_EQ(clean.exit, 0) << clean.out;
    EXPECT_EQ(clean.out, "");

    const auto file = dir_.Write("bad.ini", "[PROPERTY]\nPROJECTOR_NAME=B\n[TAB]\nid=3\nMAX=2\n");
    const CliResult bad = Run({"lint", file.string()});
    EXPECT_EQ(bad.exit, 1);
    EXPECT_EQ(bad.out, file.string() + ":4: key 'id' must be written ID: ignored\n" +
                           file.string() + ":5: MAX does not count in [TAB]\n");
}

TEST_F(CliModel, BadUsageExitsWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"model"}, {"model", "A", "B"}, {"lint"}, {"lint", "--strict", "x.ini"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.exit, 2) << args[0];
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
} // namespace tonedesk::test
