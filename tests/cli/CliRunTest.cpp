// tonedesk-cli's own failures, run as a program: a profile it cannot use and output it cannot
// write. No command here opens a port, whatever the profile says.
#include "common/ChildProcess.h"
#include "common/TestKit.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

// `text` with every "FILE" in it replaced by the file's path.
std::string WithFile(std::string text, const std::string& file) {
    for (auto at = text.find("FILE"); at != std::string::npos;
         at = text.find("FILE", at + file.size())) {
        text.replace(at, 4, file);
    }
    return text;
}

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
        // Read as the default, it would turn the default ports on.
        {"SYSTEM=no", [&] { dir_.Write(profileName_, "[PORTS]\nSYSTEM=no\n"); }},
        {"larger than 1 MiB",
         [&] {
             dir_.Write(profileName_, ports + std::string((1u << 20) - ports.size() + 1, '\n'));
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
    // The model's text is larger than the output buffer: it is written before the end.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"levels", "--formula", "1,2,3"},
          {"--help"},
          {"model", "DEMO-100"}}) {
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

// A word that is no valid UTF-8 (a file name written in another encoding) reaches the command as
// its bytes.
TEST_F(CliRun, FileNameThatIsNoValidTextIsUsedAsGiven) {
    const std::string name = (dir_.Path() / "b\xe9.ini").string();
    dir_.Write("b\xe9.ini", "[PROPERTY]\nPROJECTOR_NAME=B\n[TAB]\nid=3\n");
    const ProgramResult r = Run({"lint", name});
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_EQ(r.out, name + ":4: key 'id' must be written ID: ignored\n");
}

// A profile that is used although parts of it are ignored names each part, with its line.
TEST_F(CliRun, WhatTheProfileIgnoresIsNamed) {
    dir_.Write(profileName_, "\xEF\xBB\xBF[PORTS]\nSYSTEM=0\nCOM0=/dev/ttyS0\nCOM300=/dev/ttyS1\n");
    const ProgramResult r = Run({"levels", "--formula", "1,2,3"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("5,5,5\n")) << r.out;
    const std::string file = "tonedesk-cli: warning: " + profile_.string() + ": line ";
    EXPECT_EQ(r.err, file + "3: COM0 in [PORTS] is ignored: COM numbers run from 1 to 255\n" +
                         file + "4: COM300 in [PORTS] is ignored: COM numbers run from 1 to 255\n");
}

// A file that is no gamma file is refused before any port is opened, so that it is never
// written into a projector; every line of a gamma file that did not read completely is named.
TEST_F(CliRun, GammaFilesAreRefusedOrTheirIncompleteLinesNamed) {
    dir_.Write(profileName_, "[PORTS]\nSYSTEM=0\n");
    std::string shifted = "\r\n";
    for (int i = 0; i < 256; ++i) {
        shifted += "4,4,4\r\n";
    }
    const struct {
        const char* name;
        std::string text;
        const char* command;
        int exit;
        std::string err; // "FILE" stands for the file's path
    } cases[] = {
        {"empty", "", "levels", 2,
         "tonedesk-cli: FILE: not a gamma file: none of its lines holds a number\n"},
        {"empty", "", "write-gamma", 2,
         "tonedesk-cli: FILE: not a gamma file: none of its lines holds a number\n"},
        {"binary",
         std::string("\xFF\xFE"
                     "1\0,\0"
                     "2\0",
                     8),
         "write-gamma", 2,
         "tonedesk-cli: FILE: not a gamma file: it holds binary data or text that is not ASCII\n"},
        {"shifted", shifted, "levels", 0,
         "tonedesk-cli: warning: FILE: line 1 did not read completely: ''\n"
         "tonedesk-cli: warning: FILE: the file goes on after line 256: the rest is not read\n"},
        {"short", "1 , 2\r\n", "write-gamma", 1,
         "tonedesk-cli: warning: FILE: line 1 did not read completely: '1 , 2'\n"
         "tonedesk-cli: warning: FILE: the file ends after line 1: lines 2 to 256 are missing\n"
         "tonedesk-cli: COM1 cannot be opened: no such device\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.name);
        const std::string file = dir_.Write(std::string(c.name) + ".gam", c.text).string();
        const ProgramResult r = std::string_view(c.command) == "levels"
                                    ? Run({"levels", file})
                                    : Run({"write-gamma", "--port", "1", "--baud", "9600", file});
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_EQ(r.err, WithFile(c.err, file));
        EXPECT_EQ(r.out.empty(), c.exit != 0) << r.out;
    }
}

// Calibration files, targets and exports that cannot be used are refused in one line with exit
// status 2, before any port is opened.
TEST_F(CliRun, BadCalibrationInputIsRefusedInOneLine) {
    dir_.Write(profileName_, "[PORTS]\nSYSTEM=0\n");
    dir_.Write("good.cal", CalFileText("0 0 0 0\n1 1 1 1\n"));
    // A display profile without calibration curves.
    cmsHPROFILE plain = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(plain, nullptr, &size);
    std::string plainProfile(size, '\0');
    cmsSaveProfileToMem(plain, plainProfile.data(), &size);
    cmsCloseProfile(plain);
    const struct {
        const char* name; // of the file written from `text`; empty when none is
        std::string text;
        std::vector<std::string> args; // "FILE" stands for the file's path
        std::string err;               // the first line of stderr
    } cases[] = {
        {"fields.cal",
         CalFileText("0 0 0 0\n1 1 1 1\n", "", "A B C D"),
         {"levels", "FILE"},
         "tonedesk-cli: FILE: the .cal file has no field RGB_I"},
        {"number.cal",
         CalFileText("0 0 0 0\n1 1 x 1\n"),
         {"write-gamma", "--port", "1", "FILE"},
         "tonedesk-cli: FILE: the .cal file's RGB_G in row 2 is not a number ('x')"},
        {"order.cal",
         CalFileText("0.5 0 0 0\n0.2 1 1 1\n"),
         {"export", "FILE", "o.icc"},
         "tonedesk-cli: FILE: the .cal file's RGB_I must ascend within [0, 1] (row 2)"},
        {"row.cal",
         CalFileText("0 0 0 0\n"),
         {"levels", "FILE"},
         "tonedesk-cli: FILE: the .cal file needs at least 2 rows"},
        {"video.cal",
         CalFileText("0 0 0 0\n1 1 1 1\n", "TV_OUTPUT_ENCODING \"YES\""),
         {"write-gamma", "--port", "1", "FILE"},
         "tonedesk-cli: FILE: the .cal file is for video-level encoding (TV_OUTPUT_ENCODING), "
         "which is not supported"},
        {"text.icc",
         "no profile",
         {"levels", "FILE"},
         "tonedesk-cli: FILE: not an ICC profile that can be read: Read from memory error. Got 10 "
         "bytes, block should be of 128 bytes"},
        {"",
         "",
         {"levels", "--target", "gamma:4"},
         "tonedesk-cli levels: the target gamma takes the exponent G in 1..3, not '4'"},
        {"",
         "",
         {"levels", "--target", "rec709"},
         "tonedesk-cli levels: unknown target 'rec709' (gamma:G, srgb, bt1886:B, lstar, pq[:P], "
         "hlg)"},
        {"",
         "",
         {"export", (dir_.Path() / "good.cal").string(), "out.txt"},
         "tonedesk-cli export: export writes .cal, .icc, .icm or .gam files, not 'out.txt'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.name + " " + c.args.back());
        const std::string file =
            *c.name ? dir_.Write(c.name, c.text).string() : std::string("FILE");
        std::vector<std::string> args = c.args;
        for (std::string& arg : args) {
            if (arg == "FILE") {
                arg = file;
            } else if (arg == "o.icc") {
                arg = (dir_.Path() / arg).string();
            }
        }
        const ProgramResult r = Run(args);
        EXPECT_EQ(r.exit, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), WithFile(c.err, file)) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "o.icc"));
}

} // namespace
} // namespace tonedesk::test
