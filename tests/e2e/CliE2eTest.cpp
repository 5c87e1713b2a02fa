// tonedesk-cli against simulated projectors on pseudo-terminals. The profile is a temporary
// one (XDG_CONFIG_HOME) that lists only the simulators' terminals (PORTS, SYSTEM=0), with
// short time-outs so that failures come quickly.

#include "SimulatorLog.h"
#include "common/ChildProcess.h"
#include "common/TestKit.h"
#include "model/ModelFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

// Bounds of the waits; generous, as the machine may be busy. A passing test takes far less.
constexpr auto kStartTimeout = 10s;
constexpr auto kRunTimeout = 30s;

using CliResult = ProgramResult;

struct Simulator {
    std::unique_ptr<ChildProcess> process;
    std::filesystem::path log; // its --verbose log
    std::string path;          // its terminal

    // How many commands it received that were exactly `command`.
    int Received(const std::string& command) const { return SimulatorReceived(log, command); }
};

class WholeProgram : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("TONEDESK_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "TONEDESK_BIN_DIR is not set";
        bin_ = bin;
    }

    // Starts a simulator with these options and lists it in the profile as COM<com>.
    Simulator& StartSimulator(int com, std::vector<std::string> options = {}) {
        auto sim = std::make_unique<Simulator>();
        sim->log = dir_.Path() / ("sim-com" + std::to_string(com) + ".log");
        std::vector<std::string> argv{(bin_ / "projector-sim").string(), "--stdin-exit",
                                      "--verbose"};
        argv.insert(argv.end(), options.begin(), options.end());
        sim->process = std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{},
                                                      sim->log.string());
        const auto line = sim->process->ReadLine(kStartTimeout);
        EXPECT_TRUE(line && line->starts_with("/dev/")) << "the simulator did not start";
        sim->path = line.value_or("");
        ports_[com] = sim->path;
        sims_.push_back(std::move(sim));
        return *sims_.back();
    }

    void ListPort(int com, const std::string& path) { ports_[com] = path; }
    void SetEnv(const std::string& key, int value) { env_[key] = value; }

    CliResult RunCli(const std::vector<std::string>& args) {
        std::ostringstream profile;
        profile << "[ENV]\n";
        for (const auto& [k, v] : env_) {
            profile << k << '=' << v << '\n';
        }
        profile << "\n[PORTS]\nSYSTEM=0\n";
        for (const auto& [com, path] : ports_) {
            profile << "COM" << com << '=' << path << '\n';
        }
        dir_.Write("config/VANTO/Vanto Tonedesk.conf", profile.str());

        std::vector<std::string> argv{(bin_ / "tonedesk-cli").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {{"XDG_CONFIG_HOME", (dir_.Path() / "config").string()}},
                          kRunTimeout);
    }

    TempDir dir_;
    std::filesystem::path bin_;
    std::vector<std::unique_ptr<Simulator>> sims_;
    std::map<int, std::string> ports_;
    // Probes of 100 ms (600 / (3 x 2)), one cycle of rates, answers awaited 300 ms.
    std::map<std::string, int> env_{
        {"POWERON_TIME", 600},   {"RETRY2", 2},
        {"POWERON_RETRY", 1},    {"RETRY", 3},
        {"REC_TIMEOUT_ON", 300}, {"REC_TIMEOUT_OFF", 300},
        {"REC_TIMEOUT_ERR", 20}, {"POWERON_WAIT", 300},
    };
};

TEST_F(WholeProgram, ScanListsEachProjectorOnItsPortAtItsRate) {
    const Simulator& demo = StartSimulator(3, {"--baud", "38400"});
    StartSimulator(7, {"--baud", "115200", "--name", "ALT 7"});
    StartSimulator(9, {"--silent"});
    ListPort(5, (dir_.Path() / "no-such-device").string());

    const CliResult r = RunCli({"scan"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "COM3 / DEMO-100 / 38400\n");
    // Only DEMO-100 has a model file next to the programs.
    EXPECT_NE(r.err.find("COM7 / ALT 7 / 115200: no model file\n"), std::string::npos) << r.err;
    // The 38400 projector was asked at 9600 first, and did not understand.
    EXPECT_NE(TempDir::Read(demo.log).find("received at 9600 bit/s"), std::string::npos);
}

TEST_F(WholeProgram, ScanWithoutAnAnswerFails) {
    StartSimulator(2, {"--silent"});
    const CliResult r = RunCli({"scan"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
}

TEST_F(WholeProgram, SendPrintsEveryAnswerAtAGivenOrAProbedRate) {
    for (const bool probe : {false, true}) {
        SCOPED_TRACE(probe ? "probed rate" : "given rate");
        StartSimulator(4, {"--baud", "115200"});
        std::vector<std::string> args{"send", "--port", "4"};
        if (!probe) {
            args.insert(args.end(), {"--baud", "115200"});
        }
        args.insert(args.end(), {"POWR????", "MOUT????", "MOUT   1", "MOUT????", "NONE????"});
        const CliResult r = RunCli(args);
        // The unknown code is rejected (three times) and the command fails.
        EXPECT_EQ(r.out, "1\n0\nOK\n1\nERR\nERR\nERR\n");
        EXPECT_EQ(r.exit, 1);
        EXPECT_NE(r.err.find("NONE???? was rejected"), std::string::npos) << r.err;
    }
}

// Each port's answers come together, prefixed by the port; a failing port fails the command but
// not the others.
TEST_F(WholeProgram, SendToSeveralPortsPrefixesEachAnswer) {
    StartSimulator(2, {"--baud", "115200", "--value", "BRIT=7"});
    StartSimulator(5, {"--baud", "38400", "--value", "BRIT=9"});
    StartSimulator(6, {"--silent"});
    const CliResult r = RunCli({"send", "--port", "5,6,2", "BRIT????", "MOUT   1"});
    EXPECT_EQ(r.out, "COM5: 9\nCOM5: OK\nCOM2: 7\nCOM2: OK\n");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("COM6: no projector answered"), std::string::npos) << r.err;

    const CliResult all = RunCli({"send", "--port", "all", "BRIT????"});
    EXPECT_EQ(all.out, "COM2: 7\nCOM5: 9\n");
    EXPECT_EQ(all.exit, 0) << all.err;
}

TEST_F(WholeProgram, SimulatorAnswersEveryCodeOfTheSampleModelUnlessToldNotTo) {
    RecordingNotifier notifier;
    CModelFile model(notifier, bin_.string());
    ASSERT_EQ(model.ReadModelFile("DEMO-100"), ModelLookup::Found);
    std::vector<std::string> args{"send", "--port", "3", "--baud", "38400", "--kind", "value"};
    for (const KeyValueEntry& entry : model.statusTable.Entries()) {
        std::string code;
        for (int i = 0; i < 4; ++i) {
            code += static_cast<char>(entry.key >> (8 * i));
        }
        if (code != "TLOG") { // the text command answers lines, not a value
            args.push_back(code + "????");
        }
    }
    ASSERT_GT(args.size(), 15u);
    StartSimulator(3);
    CliResult r = RunCli(args);
    EXPECT_EQ(r.exit, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("ERR"), std::string::npos) << r.out;

    StartSimulator(4, {"--no-demo-values", "--value", "BRIT=7"});
    r = RunCli({"send", "--port", "4", "--baud", "38400", "BRIT????", "CONT????"});
    EXPECT_EQ(r.out, "7\nERR\nERR\nERR\n");
}

TEST_F(WholeProgram, SendCollectsATextAnswer) {
    StartSimulator(1, {"--text-line", "first", "--text-line", "second"});
    const CliResult r = RunCli(
        {"send", "--port", "1", "--baud", "38400", "--kind", "text", "TLOG????", "MOUT   1"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "first\nsecond\nOK\n");
}

TEST_F(WholeProgram, LineHeldByAnotherProgramIsLeftAloneWithAReason) {
    const Simulator& sim = StartSimulator(4);
    const int other = ::open(sim.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ListPort(5, (dir_.Path() / "no-such-device").string());
    CliResult r = RunCli({"send", "--port", "4", "--baud", "9600", "POWR????"});
    EXPECT_NE(r.exit, 0);
    const std::string com4 = "COM4 (" + sim.path + ")";
    EXPECT_NE(r.err.find(com4 + " cannot be opened: in use by another program\n"),
              std::string::npos)
        << r.err;
    // The scan passes over the port, and says why instead of that no projector answered.
    r = RunCli({"scan"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "tonedesk-cli: " + com4 + ": in use by another program\n");
    EXPECT_EQ(sim.Received("TNAM   1"), 0);
    EXPECT_EQ(sim.Received("POWR????"), 0);
    ::close(other);

    const std::string missing = (dir_.Path() / "no-such-device").string();
    r = RunCli({"send", "--port", "5", "--baud", "9600", "POWR????"});
    EXPECT_NE(r.err.find("COM5 (" + missing + ") cannot be opened: no such device\n"),
              std::string::npos)
        << r.err;
}

TEST_F(WholeProgram, RejectedQueryIsSentRetryTimes) {
    const Simulator& sim = StartSimulator(3, {"--err", "POWR"});
    const CliResult r = RunCli({"send", "--port", "3", "--baud", "38400", "POWR????"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "ERR\nERR\nERR\n");
    EXPECT_EQ(sim.Received("POWR????"), 3);
}

TEST_F(WholeProgram, RejectedTransferDropsTheQueue) {
    const Simulator& sim = StartSimulator(3, {"--err", "GAMM:3"});
    const CliResult r = RunCli(
        {"send", "--port", "3", "--baud", "38400", "--kind", "transfer", "GAMM   1", "GAMM   2"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "ERR\nERR\nERR\n");
    EXPECT_NE(r.err.find("rejected a block"), std::string::npos) << r.err;
    EXPECT_EQ(sim.Received("GAMM   1"), 3);
    EXPECT_EQ(sim.Received("GAMM   2"), 0) << "dropped with the queue";
}

TEST_F(WholeProgram, CommandAnsweredWithAnUnexpectedLineFailsTheSend) {
    // Every second answer is preceded by a garbage line, which answers the command instead.
    StartSimulator(3, {"--garbage-every", "2"});
    const CliResult r = RunCli({"send", "--port", "3", "--baud", "38400", "MOUT   1", "MOUT   0"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("MOUT   0 was answered \""), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("MOUT   1 was"), std::string::npos) << r.err;
}

TEST_F(WholeProgram, SilentProjectorDropsTheQueueAfterRetryTimeOuts) {
    const Simulator& sim = StartSimulator(3, {"--silent"});
    const CliResult r = RunCli({"send", "--port", "3", "--baud", "38400", "POWR????", "MOUT????"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("did not answer"), std::string::npos) << r.err;
    EXPECT_EQ(sim.Received("POWR????"), 3);
    EXPECT_EQ(sim.Received("MOUT????"), 0);
}

TEST_F(WholeProgram, DisturbedAnswersStillComeThrough) {
    // Noise bytes are dropped by the receiver, split answers are joined.
    StartSimulator(3, {"--noise", "--split", "20"});
    const CliResult r = RunCli({"send", "--port", "3", "--baud", "38400", "POWR????", "TNAM   1"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "1\nDEMO-100\n");
}

TEST_F(WholeProgram, HangUpOfTheProjectorFailsTheSend) {
    StartSimulator(3, {"--hang-up-after", "1"});
    const CliResult r = RunCli({"send", "--port", "3", "--baud", "38400", "POWR????", "MOUT????"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "1\n");
}

TEST_F(WholeProgram, ProjectorKeepingTheLinkBusyMeetsTheTimeLimit) {
    // A silent projector and answers awaited for ten minutes: only the time limit ends it.
    StartSimulator(3, {"--silent"});
    SetEnv("REC_TIMEOUT_OFF", 600000);
    const CliResult r =
        RunCli({"send", "--timeout", "1", "--port", "3", "--baud", "38400", "POWR????"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("no end after 1 s"), std::string::npos) << r.err;
}

TEST_F(WholeProgram, BadUsageExitsWithTwo) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"bogus"},
        {"scan", "extra"},
        {"send", "POWR????"},
        {"send", "--port", "3"},
        {"send", "--port", "3", "POWR"},
        {"send", "--port", "0", "POWR????"},
        {"send", "--port", "3", "--baud", "1200", "POWR????"},
        {"send", "--port", "3", "--kind", "odd", "POWR????"},
        {"send", "--port", "3", "--colour", "red", "POWR????"},
        // Lists of ports: an empty item, a number out of range, a word, a port named twice.
        {"send", "--port", "1,,3", "POWR????"},
        {"send", "--port", "1,0", "POWR????"},
        {"send", "--port", "256,1", "POWR????"},
        {"send", "--port", "3,x", "POWR????"},
        {"send", "--port", "3,", "POWR????"},
        {"send", "--port", "3,4,3", "POWR????"},
        {"send", "--port", "all", "--baud", "38400", "POWR????"},
        {"write-gamma", "--port", "2,2", "missing.gam"},
        {"write-gamma", "--port", "x", "missing.gam"},
        // Options given twice, without their value, with a value they do not take, unknown.
        {"send", "--port", "3", "--port", "4", "POWR????"},
        {"levels", "--formula", "1,2,3", "--timing", "--timing"},
        {"send", "--port"},
        {"scan", "--timing=yes"},
        {"--bogus"},
        {"help", "bogus"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) {
            joined += a + ' ';
        }
        SCOPED_TRACE(joined);
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exit, 2) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
} // namespace tonedesk::test
