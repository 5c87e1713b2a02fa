// tonedesk-cli's own failures, run as a program: a profile it cannot use and output it cannot
// write. No command here opens a port, whatever the profile says.
#include "common/ChildProcess.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

class CliRun : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("TONEDESK_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "TONEDESK_BIN_DIR is not set";
        cli_ = std::filesystem::path(bin) / "tonedesk-cli";
    }

    // Runs tonedesk-cli on this test's profile folder; stdout to `outFile` when given.
    ProgramResult Run(const std::vector<std::string>& args, const std::string& outFile = {}) {
        std::vector<std::string> argv{cli_.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {{"XDG_CONFIG_HOME", (dir_.Path() / "config").string()}}, 20s,
                          outFile);
    }

    TempDir dir_;
    std::filesystem::path cli_;
    const std::string profileName_ = "config/VANTO/Vanto Tonedesk.conf";
    const std::filesystem::path profile_ = dir_.Path() / profileName_;
};

// Its section "PORTS" may turn the default ports off: a profile that cannot be read fails the
// command, naming the file, instead of giving defaults that would probe every default port.
TEST_F(CliRun, ProfileThatCannotBeReadFailsTheCommandNamingIt) {
    const std::string ports = "[PORTS]\nSYSTEM=0\n";
    const struct {
        const char* name;
        std::function<void()> make;
    } cases[] = {
        {"a folder", [&] { std::filesystem::create_directories(profile_); }},
        {"garbage", [&] { dir_.Write(profileName_, std::string("\x01[\xfe\0\n", 5) + ports); }},
        {"a pipe",
         [&] {
             std::filesystem::create_directories(profile_.parent_path());
             ASSERT_EQ(::mkfifo(profile_.c_str(), 0600), 0);
         }},
        {"unreadable",
         [&] {
             dir_.Write(profileName_, ports);
             std::filesystem::permissions(profile_, std::filesystem::perms::none);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir_.Path() / "config");
        if (std::string_view(c.name) == "unreadable" && ::geteuid() == 0) {
            continue; // root reads any file
        }
        c.make();
        const ProgramResult r = Run({"levels", "--formula", "1,2,3"});
        EXPECT_EQ(r.exit, 2) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(profile_.string() + " cannot be used"), std::string::npos) << r.err;
    }
    // The same profile, readable, serves.
    std::filesystem::remove_all(dir_.Path() / "config");
    dir_.Write(profileName_, ports);
    const ProgramResult r = Run({"levels", "--formula", "1,2,3"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("5,5,5\n")) << r.out;
}

TEST_F(CliRun, OutputThatCannotBeWrittenFailsTheCommand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"levels", "--formula", "1,2,3"}, {"--help"}}) {
        SCOPED_TRACE(args[0]);
        const ProgramResult full = Run(args, "/dev/full");
        EXPECT_EQ(full.exit, 1);
        EXPECT_EQ(full.err, "tonedesk-cli: cannot write the output: No space left on device\n");

        const std::string file = (dir_.Path() / "out.txt").string();
        const ProgramResult written = Run(args, file);
        EXPECT_EQ(written.exit, 0) << written.err;
        EXPECT_EQ(written.err, "");
        EXPECT_FALSE(TempDir::Read(file).empty());
    }
}

// The link keeps the outcomes of its last 256 commands: a longer list is refused before any port
// is opened, so no early command's rejection can go unreported.
TEST_F(CliRun, SendOfMoreCommandsThanOutcomesKeptIsRefused) {
    std::vector<std::string> args{"send", "--port", "1"};
    args.insert(args.end(), 257, "POWR????");
    const ProgramResult r = Run(args);
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.err.find("send takes at most 256 commands"), std::string::npos) << r.err;
}

} // namespace
} // namespace tonedesk::test
