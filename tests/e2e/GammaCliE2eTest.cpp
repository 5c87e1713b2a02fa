// tonedesk-cli's gamma commands: tables printed from files and formulas, and gamma writes
// delivered to a simulated projector on a pseudo-terminal (temporary profile, PORTS SYSTEM=0).

#include "common/ChildProcess.h"
#include "common/TestKit.h"
#include "gamma/GammaGraph.h"
#include "gamma/GammaTransfer.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

using CliRun = ProgramResult;

// The lines of a program's output, without their ends.
std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A gamma file whose channels differ: red with marks, green and blue without.
std::string SampleFile() {
    std::string text;
    for (int i = 0; i < 256; ++i) {
        const int red =
            (i == 0 || i == 100 || i == 255) ? 10000000 + (i == 100 ? 300 : 4 * i) : 4 * i;
        const int green = i < 20 ? 0 : (i * 5 > 1023 ? 1023 : i * 5);
        char line[64];
        std::snprintf(line, sizeof line, "%08d,%08d,%08d\r\n", red, green, 1020 - 4 * i);
        text += line;
    }
    return text;
}

class GammaCli : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("TONEDESK_BIN_DIR");
        ASSERT_NE(bin, nullptr);
        bin_ = bin;
        file_ = dir_.Write("sample.gam", SampleFile()).string();
    }

    // A simulator at 38400 bit/s listed as COM3, dumping the gamma blocks it accepts.
    void StartSimulator(std::vector<std::string> options = {}) {
        StartSimulatorAt(3, Dump(), std::move(options));
    }

    // A simulator at 38400 bit/s listed as COM<com>, dumping the gamma blocks it accepts.
    void StartSimulatorAt(int com, const std::filesystem::path& dump,
                          std::vector<std::string> options) {
        std::vector<std::string> argv{(bin_ / "projector-sim").string(), "--stdin-exit",
                                      "--dump-gamma", dump.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        sims_.push_back(std::make_unique<ChildProcess>(argv));
        const auto line = sims_.back()->ReadLine(10s);
        ASSERT_TRUE(line && line->starts_with("/dev/")) << "the simulator did not start";
        ports_[com] = *line;
    }

    std::filesystem::path Dump() const { return dir_.Path() / "blocks.txt"; }

    CliRun Cli(const std::vector<std::string>& args) {
        std::ostringstream profile;
        profile << "[ENV]\nRETRY=3\nREC_TIMEOUT_ON=300\nREC_TIMEOUT_OFF=300\nREC_TIMEOUT_ERR=20\n"
                << "\n[PORTS]\nSYSTEM=0\n";
        for (const auto& [com, path] : ports_) {
            profile << "COM" << com << '=' << path << '\n';
        }
        dir_.Write("config/VANTO/Vanto Tonedesk.conf", profile.str());
        std::vector<std::string> argv{(bin_ / "tonedesk-cli").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {{"XDG_CONFIG_HOME", (dir_.Path() / "config").string()}}, 30s);
    }

    // The blocks the simulator holds, by block number, as hex text.
    std::map<int, std::string> Received() const { return Received(Dump()); }
    static std::map<int, std::string> Received(const std::filesystem::path& dump) {
        std::map<int, std::string> blocks;
        std::istringstream lines(TempDir::Read(dump));
        int number = 0;
        std::string hex;
        while (lines >> number >> hex) {
            blocks[number] = hex;
        }
        return blocks;
    }

    // The blocks a write of the sample file sends, computed by the core as the editor holds it.
    static std::map<int, std::string> Expected(int bank, int channel, const std::string& file) {
        MemorySettings settings;
        CGammaGraph graph(settings);
        RecordingNotifier notifier;
        GammaFileTable table;
        EXPECT_EQ(ReadGammaFile(file, table, notifier), GammaReadResult::Read);
        graph.SwitchBank(bank);
        graph.OpenTable(table);
        graph.RecomputeLevels();
        return Blocks(bank, channel, graph.Active());
    }

    // The blocks that carry `table`'s levels, by block number, as hex text.
    static std::map<int, std::string> Blocks(int bank, int channel, const GammaTable& table) {
        std::map<int, std::string> blocks;
        const auto entries = GammaTransferEntries(bank, table, channel);
        for (std::size_t k = 0; k + 1 < entries.size(); k += 2) {
            const int number = std::atoi(reinterpret_cast<const char*>(entries[k].data()) + 4);
            std::string hex;
            char pair[3];
            for (std::uint8_t b : entries[k + 1]) {
                std::snprintf(pair, sizeof pair, "%02X", b);
                hex += pair;
            }
            blocks[number] = hex;
        }
        return blocks;
    }

    static std::string Lower(std::string s) {
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return s;
    }
    static std::map<int, std::string> Lower(std::map<int, std::string> m) {
        for (auto& [k, v] : m) {
            v = Lower(v);
        }
        return m;
    }

    TempDir dir_;
    std::filesystem::path bin_;
    std::string file_;
    std::vector<std::unique_ptr<ChildProcess>> sims_;
    std::map<int, std::string> ports_; // COM number -> terminal
};

TEST_F(GammaCli, LevelsOfAFileAndOfAFormula) {
    const CliRun r = Cli({"levels", file_});
    ASSERT_EQ(r.exit, 0) << r.err;
    const std::vector<std::string> rows = Lines(r.out);
    ASSERT_EQ(rows.size(), 256u);
    EXPECT_EQ(rows[0], "0,0,1020"); // red's first mark, green's leading zeros
    EXPECT_EQ(rows[100].substr(0, 4), "300,");
    EXPECT_EQ(rows[255].substr(0, 5), "1020,");

    const CliRun f = Cli({"levels", "--formula", "30,0,0"});
    ASSERT_EQ(f.exit, 0) << f.err;
    EXPECT_NE(f.out.find("\n512,512,512\n"), std::string::npos); // entry 64
    EXPECT_EQ(f.out.substr(0, 12), "0,0,0\n64,64,");             // sqrt(1/256) x 1024

    const CliRun missing = Cli({"levels", (dir_.Path() / "none.gam").string()});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    EXPECT_EQ(Cli({"levels", "--formula", "1,2"}).exit, 2);
    EXPECT_EQ(Cli({"levels", "--formula", "1,2,31"}).exit, 2);
}

TEST_F(GammaCli, WritesOfBothBanksDeliverAllTwelveBlocks) {
    StartSimulator();
    const CliRun r0 = Cli({"write-gamma", "--port", "3", "--baud", "38400", file_});
    ASSERT_EQ(r0.exit, 0) << r0.err;
    auto expected = Lower(Expected(0, -1, file_));
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(Lower(Received()), expected);

    const CliRun r1 =
        Cli({"write-gamma", "--timing", "--port", "3", "--baud", "38400", "--bank", "1", file_});
    ASSERT_EQ(r1.exit, 0) << r1.err;
    EXPECT_NE(r1.err.find("write-gamma: worked with the projector for "), std::string::npos)
        << r1.err;
    expected.merge(Lower(Expected(1, -1, file_)));
    ASSERT_EQ(expected.size(), 12u);
    EXPECT_EQ(Lower(Received()), expected);
}

// The service log of a write holds the whole conversation, line by line; a log that cannot
// be written is named once and changes nothing of the write.
TEST_F(GammaCli, LogOfAWriteHoldsEveryCommandAndAnswer) {
    StartSimulator();
    const std::string log = (dir_.Path() / "service.log").string();
    const CliRun r = Cli({"write-gamma", "--log", log, "--port", "3", "--baud", "38400", file_});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // Each answer is one line, however it arrived.
    static const std::regex kLine(
        R"(^(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z) COM3 (>>|<<|--) ([ -~]+)$)");
    std::vector<std::string> talk;
    std::string lastStamp;
    std::istringstream lines(TempDir::Read(log));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, kLine)) << line;
        EXPECT_GE(m[1].str(), lastStamp) << line;
        lastStamp = m[1].str();
        if (m[2] == "<<") {
            EXPECT_TRUE(m[3].str().ends_with("<13>") || m[3].str().ends_with("<4>")) << line;
        }
        talk.push_back(m[2].str() + " " + m[3].str());
    }
    // The port opens, is set to the rate asked, and the power query goes first.
    const auto firstSent = std::find_if(talk.begin(), talk.end(),
                                        [](const std::string& t) { return t.starts_with(">> "); });
    ASSERT_TRUE(firstSent > talk.begin() && talk.end() - firstSent > 2) << r.err;
    EXPECT_EQ(firstSent[-1], "-- open at 38400 baud");
    EXPECT_EQ(firstSent[0], ">> POWR???"
                            "?<13>");
    EXPECT_TRUE(firstSent[1].starts_with("<< ")) << firstSent[1];
    std::vector<std::string> expected(talk.begin(), firstSent + 2);
    for (const auto& entry : GammaTransferEntries(0, GammaTable{}, -1)) {
        if (entry.size() == kGammaAnnounceSize) {
            const int block = std::atoi(reinterpret_cast<const char*>(entry.data()) + 4);
            char announce[32];
            std::snprintf(announce, sizeof announce, ">> GAMM%4d<13>", block);
            expected.insert(expected.end(),
                            {announce, "<< OK<13>",
                             ">> gamma block " + std::to_string(block) + ", 257 bytes, checksum ok",
                             "<< OK<13>"});
        }
    }
    expected.push_back("-- close");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(firstSent - talk.begin()) + 2 + 6 * 4 + 1);
    EXPECT_EQ(talk, expected);

    const CliRun full =
        Cli({"write-gamma", "--log", "/dev/full", "--port", "3", "--baud", "38400", file_});
    EXPECT_EQ(full.exit, 0) << full.err;
    const std::string warning = "cannot write the service log /dev/full";
    const auto first = full.err.find(warning);
    EXPECT_NE(first, std::string::npos) << full.err;
    EXPECT_EQ(full.err.find(warning, first + 1), std::string::npos) << full.err;
    EXPECT_EQ(Lower(Received()), Lower(Expected(0, -1, file_)));
}

TEST_F(GammaCli, WriteOfOneChannelOfBankOne) {
    StartSimulator();
    const CliRun r = Cli(
        {"write-gamma", "--port", "3", "--baud", "38400", "--bank", "1", "--channel", "2", file_});
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto received = Lower(Received());
    const auto expected = Lower(Expected(1, 2, file_));
    ASSERT_EQ(expected.size(), 2u);
    for (const auto& [number, hex] : expected) {
        ASSERT_TRUE(received.count(number)) << number;
        EXPECT_EQ(received.at(number), hex) << number;
    }
    EXPECT_EQ(received.size(), 2u); // nothing else was sent
}

TEST_F(GammaCli, RejectionsAreRetriedAndTooManyDropTheWrite) {
    StartSimulator({"--err", "GAMM:2"}); // two rejections: the third try is taken
    const CliRun ok = Cli({"write-gamma", "--port", "3", "--baud", "38400", file_});
    EXPECT_EQ(ok.exit, 0) << ok.err;
    EXPECT_EQ(Lower(Received()), Lower(Expected(0, -1, file_)));
}

TEST_F(GammaCli, WriteThatWasNotConfirmedFailsAndNamesTheBlocks) {
    const struct {
        std::vector<std::string> faults;
        std::string named;
    } kCases[] = {
        // Garbage lines where ERR belongs: nothing is stored.
        {{"--err", "GAMM", "--garbage-every", "2"}, "block 0 announce: answered \""},
        // Over-long lines in place of OK: the blocks may have arrived, but unconfirmed.
        {{"--long-every", "3"}, "block 0 data: answered \"XXXX"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.faults.back());
        StartSimulator(c.faults);
        const CliRun r = Cli({"write-gamma", "--port", "3", "--baud", "38400", file_});
        EXPECT_EQ(r.exit, 1) << r.err;
        EXPECT_NE(r.err.find("did not confirm"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    }
}

TEST_F(GammaCli, ThreeRejectionsDropTheWrite) {
    StartSimulator({"--err", "GAMM:3"});
    const CliRun r = Cli({"write-gamma", "--port", "3", "--baud", "38400", file_});
    EXPECT_EQ(r.exit, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(Received().empty()); // the first announce was rejected: nothing arrived
    EXPECT_NE(r.err.find("tonedesk-cli:"), std::string::npos) << r.err;
}

// The same bank goes to several projectors at once; each port's line tells how its write went,
// and a port that fails keeps none of the others from storing every block.
TEST_F(GammaCli, WriteToSeveralPortsReportsEachProjector) {
    const struct {
        int com;
        std::vector<std::string> options;
        std::string result; // the start of the port's line after "COMn..."
        int blocksStored;
    } kPorts[] = {
        {2, {}, " / DEMO-100: confirmed", 6},
        {3, {"--delay", "100"}, " / DEMO-100: confirmed", 6}, // slow: every answer 100 ms late
        {5, {"--refuse-block", "3"}, " / DEMO-100: not confirmed: ", 3},
        {7, {}, " / DEMO-100: confirmed", 6},
    };
    for (const auto& p : kPorts) {
        StartSimulatorAt(p.com, dir_.Path() / ("blocks" + std::to_string(p.com)), p.options);
    }
    ports_[9] = (dir_.Path() / "no-such-terminal").string();
    const CliRun r = Cli({"write-gamma", "--port", "2,3,9,5,7", "--baud", "38400", file_});
    EXPECT_EQ(r.exit, 1) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_TRUE(lines[2].starts_with("COM9: cannot be opened: ")) << lines[2];
    const auto expected = Lower(Expected(0, -1, file_));
    const std::size_t lineOf[] = {0, 1, 3, 4};
    for (std::size_t i = 0; i < std::size(kPorts); ++i) {
        const auto& p = kPorts[i];
        SCOPED_TRACE(p.com);
        const std::string& line = lines[lineOf[i]];
        EXPECT_TRUE(line.starts_with("COM" + std::to_string(p.com) + p.result)) << line;
        auto stored = Lower(Received(dir_.Path() / ("blocks" + std::to_string(p.com))));
        ASSERT_EQ(stored.size(), static_cast<std::size_t>(p.blocksStored));
        for (const auto& [number, hex] : stored) {
            EXPECT_EQ(hex, expected.at(number)) << number;
        }
    }
    EXPECT_NE(lines[3].find("block 3 announce: rejected"), std::string::npos) << lines[3];
}

// Levels every channel differs in, and that no spline through a few points would give.
GammaTable ExactLevels() {
    GammaTable table;
    for (int i = 0; i < kLevelCount; ++i) {
        table.levels[0][i] = static_cast<std::uint16_t>(1023 - 4 * i);
        table.levels[1][i] = static_cast<std::uint16_t>((i * 7) % 1024);
        table.levels[2][i] = static_cast<std::uint16_t>(i % 2 == 0 ? 4 * i : 1023);
    }
    return table;
}

std::string CalOf(const GammaTable& table) {
    std::string rows;
    for (int i = 0; i < kLevelCount; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "%.7f %.7f %.7f %.7f\n", i / 255.0,
                      table.levels[0][i] / 1023.0, table.levels[1][i] / 1023.0,
                      table.levels[2][i] / 1023.0);
        rows += line;
    }
    return CalFileText(rows);
}

// A .cal file and the profile exported from it go into the projector as their exact levels, in
// the bank named; exporting through every kind gives the same levels back.
TEST_F(GammaCli, CalibrationFilesAreWrittenAsTheirExactLevels) {
    const GammaTable table = ExactLevels();
    const std::string cal = dir_.Write("measured.cal", CalOf(table)).string();
    const std::string icc = (dir_.Path() / "measured.icc").string();
    const std::string calAgain = (dir_.Path() / "again.CAL").string();
    ASSERT_EQ(Cli({"export", cal, icc}).exit, 0);
    ASSERT_EQ(Cli({"export", "--bank", "1", icc, calAgain}).exit, 0);
    const CliRun printed = Cli({"levels", cal});
    ASSERT_EQ(printed.exit, 0) << printed.err;
    EXPECT_EQ(Cli({"levels", icc}).out, printed.out);
    EXPECT_EQ(Cli({"levels", calAgain}).out, printed.out);
    EXPECT_EQ(printed.out.substr(0, 21), "1023,0,0\n1019,7,1023\n");

    StartSimulator();
    const CliRun r = Cli({"write-gamma", "--port", "3", "--baud", "38400", "--bank", "1", cal});
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto expected = Lower(Blocks(1, -1, table));
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(Lower(Received()), expected);
    const CliRun p = Cli({"write-gamma", "--port", "3", "--baud", "38400", icc});
    ASSERT_EQ(p.exit, 0) << p.err;
    auto both = Lower(Blocks(0, -1, table));
    both.merge(Lower(Blocks(1, -1, table)));
    EXPECT_EQ(Lower(Received()), both);
}

TEST_F(GammaCli, LevelsOfATarget) {
    const CliRun r = Cli({"levels", "--target", "srgb"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 256);
    EXPECT_EQ(r.out.substr(0, 18), "0,0,0\n0,0,0\n1,1,1\n");
    EXPECT_NE(r.out.find("\n221,221,221\n"), std::string::npos); // entry 128
}

} // namespace
} // namespace tonedesk::test
