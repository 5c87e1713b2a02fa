// tonedesk-cli's gamma commands: tables printed from files and formulas, and gamma writes
// delivered to a simulated projector on a pseudo-terminal (temporary profile, PORTS SYSTEM=0).

#include "common/ChildProcess.h"
#include "common/TestKit.h"
#include "gamma/GammaGraph.h"
#include "gamma/GammaTransfer.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

using CliRun = ProgramResult;

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
        std::vector<std::string> argv{(bin_ / "projector-sim").string(), "--stdin-exit",
                                      "--dump-gamma", Dump().string()};
        argv.insert(argv.end(), options.begin(), options.end());
        sim_ = std::make_unique<ChildProcess>(argv);
        const auto line = sim_->ReadLine(10s);
        ASSERT_TRUE(line && line->starts_with("/dev/")) << "the simulator did not start";
        simPath_ = *line;
    }

    std::filesystem::path Dump() const { return dir_.Path() / "blocks.txt"; }

    CliRun Cli(const std::vector<std::string>& args) {
        std::ostringstream profile;
        profile << "[ENV]\nRETRY=3\nREC_TIMEOUT_ON=300\nREC_TIMEOUT_OFF=300\nREC_TIMEOUT_ERR=20\n"
                << "\n[PORTS]\nSYSTEM=0\n";
        if (!simPath_.empty()) {
            profile << "COM3=" << simPath_ << '\n';
        }
        dir_.Write("config/VANTO/Vanto Tonedesk.conf", profile.str());
        std::vector<std::string> argv{(bin_ / "tonedesk-cli").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {{"XDG_CONFIG_HOME", (dir_.Path() / "config").string()}}, 30s);
    }

    // The blocks the simulator holds, by block number, as hex text.
    std::map<int, std::string> Received() const {
        std::map<int, std::string> blocks;
        std::istringstream lines(TempDir::Read(Dump()));
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
        std::map<int, std::string> blocks;
        const auto entries = GammaTransferEntries(bank, graph.Active(), channel);
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
    std::unique_ptr<ChildProcess> sim_;
    std::string simPath_;
};

TEST_F(GammaCli, LevelsOfAFileAndOfAFormula) {
    const CliRun r = Cli({"levels", file_});
    ASSERT_EQ(r.exit, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
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

} // namespace
} // namespace tonedesk::test
