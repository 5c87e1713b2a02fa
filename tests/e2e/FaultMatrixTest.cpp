// The fault matrix. Each row makes one fault happen to the real program: its link on the POSIX
// serial port against projector-sim on a pseudo-terminal, with the gamma editor offscreen where
// the row is about what the user sees, or the gamma and settings files in folders that cannot
// take them. Every row checks that the program ends the operation within a bound, tells the user
// what it should, leaves the curves in memory as they were, and that the next operation works.
//
// With TONEDESK_RELIABILITY_REPORT=FILE the rows that ran are written to FILE as a table
// (scripts/fault-matrix.sh makes docs/RELIABILITY.md so).

#include "ProjectorSimulator.h"
#include "SimulatorLog.h"
#include "common/ChildProcess.h"
#include "common/FakeSerialPort.h"
#include "common/GuiTestKit.h"
#include "common/SimulatorLink.h"
#include "gamma/GammaFile.h"
#include "link/SettingsFileActions.h"
#include "link/SettingsSave.h"
#include "support/FileRead.h"
#include "support/Settings.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/panel/ControlPanelHost.h"
#include "ui/panel/ControlPanelTables.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/ResourceBundle.h"

#include <QAbstractButton>
#include <QTabWidget>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <signal.h>
#include <string_view>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;
using SteadyTime = std::chrono::steady_clock;

// Link settings that make a missing answer show within half a second, and a short power grace.
const std::map<std::string, std::int32_t> kQuickLink{
    {"REC_TIMEOUT_ON", 500}, {"REC_TIMEOUT_OFF", 500}, {"POWERON_WAIT", 1000}};
// The answer time-out of the gamma writes. On a busy machine the simulator answers late by what
// the machine keeps it waiting (half a second was seen with two busy loops beside the test run),
// and a late answer to an announce makes the link send the announce again, which the projector
// takes as block data. Every delay a row makes on purpose stays within a quarter of the time-out
// it is measured against, unless the row is timing-exact.
//
// The simulator gives up a gamma block that stops arriving for its block time-out: well beyond the
// link's pause before a block and what a busy machine adds to it (stalls of 0.7 s were seen with
// two busy loops beside the test run). The user's next write waits twice as long, so that a block
// left unfinished is given up also when the simulator took its last bytes late.
struct WriteTimes {
    std::int32_t answerTimeoutMs;
    int blockTimeoutMs;
};
constexpr WriteTimes kWriteTimes{1500, 2000};
// The times a timing-exact row sets its delays against.
constexpr WriteTimes kExactTimes{500, 300};

// Rows that hold only while delays keep their exact size against the time-outs (a delay just
// beyond a time-out, a warm-up just beyond a grace period) run when this variable is set
// (scripts/fault-matrix.sh sets it); elsewhere they are skipped, since a busy machine stretches
// those delays.
bool TimingExactRowsRun() {
    const char* run = std::getenv("TONEDESK_TIMING_ROWS");
    return run && std::string_view(run) == "1";
}
constexpr const char* kTimingExactSkipped =
    "timing-exact: scripts/fault-matrix.sh (TONEDESK_TIMING_ROWS=1) runs it";
// No operation of a row may take longer: beyond it the program counts as hung.
constexpr auto kBound = 20s;

// One line of the report.
struct Report {
    std::string fault{}, made{}, sees{}, time{}, curves{}, next{}, result{};
};

std::vector<Report>& Reports() {
    static std::vector<Report> reports;
    return reports;
}

std::string Cell(std::string text) {
    for (char& c : text) {
        if (c == '|' || c == '\n' || c == '\r') {
            c = c == '|' ? '/' : ' ';
        }
    }
    return text;
}

// The table's order: the faults' beginnings, in the order the rows are listed.
std::size_t Place(const Report& r) {
    static const std::vector<std::string> kOrder{"ERR burst",
                                                 "silence",
                                                 "answers split",
                                                 "slow",
                                                 "garbage",
                                                 "control bytes",
                                                 "hang-up",
                                                 "the simulator coming back",
                                                 "the power grace",
                                                 "a projector switched off",
                                                 "a port taken",
                                                 "USB adapter",
                                                 "full folder",
                                                 "read-only",
                                                 "a file that cannot",
                                                 "truncated",
                                                 "binary",
                                                 "huge",
                                                 "endless"};
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        if (r.fault.starts_with(kOrder[i])) {
            return i;
        }
    }
    return kOrder.size();
}

// Writes the report when the run ends.
class ReportWriter final : public testing::Environment {
public:
    void TearDown() override {
        const char* path = std::getenv("TONEDESK_RELIABILITY_REPORT");
        if (!path || Reports().empty()) {
            return;
        }
        std::stable_sort(Reports().begin(), Reports().end(),
                         [](const Report& a, const Report& b) { return Place(a) < Place(b); });
        std::ofstream out(path, std::ios::app);
        for (const Report& r : Reports()) {
            out << "| " << Cell(r.fault) << " | " << Cell(r.made) << " | " << Cell(r.sees) << " | "
                << Cell(r.time) << " | " << Cell(r.curves) << " | " << Cell(r.next) << " | "
                << Cell(r.result) << " |\n";
        }
    }
};
[[maybe_unused]] testing::Environment* const kReportWriter =
    testing::AddGlobalTestEnvironment(new ReportWriter);

std::string Ms(SteadyTime::duration d) {
    const double ms = std::chrono::duration<double, std::milli>(d).count();
    char text[32];
    std::snprintf(text, sizeof text, ms < 1 ? "%.2f ms" : ms < 10 ? "%.1f ms" : "%.0f ms", ms);
    return text;
}

// The first sentence of a text the user is shown.
std::string Gist(const QString& text) {
    std::string s = text.toStdString();
    const auto end = s.find_first_of(".:\n");
    return "\"" + s.substr(0, end == std::string::npos ? s.size() : end) + "\"";
}

// A message of the string table, with its argument in place of %s.
std::string Gist(int messageId, const std::string& argument = {}) {
    QString text = LoadString(messageId);
    text.replace(QStringLiteral("%s"), QString::fromStdString(argument));
    return std::to_string(messageId) + " " + Gist(text);
}

// Fills in the row's result once its checks ran, and files the report.
void File(Report report) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    if (report.result.empty()) {
        report.result = info->result()->Failed() ? "FAILED" : "pass";
    }
    Reports().push_back(std::move(report));
}

// Two presets with control points, the banks' curves.
GammaFileTable Preset(int lift) {
    GammaFileTable table = GammaFileTable::Identity();
    for (int channel = 0; channel < kChannelCount; ++channel) {
        for (int line : {0, 64, 128, 192, 255}) {
            table.At(channel, line) =
                kControlPointMark + std::clamp(4 * line + lift * (channel + 1), 0, 1023);
        }
    }
    return table;
}

bool SameCurves(const GammaTable& a, const GammaTable& b) {
    for (int c = 0; c < kChannelCount; ++c) {
        if (a.levels[c] != b.levels[c] || !a.points[c].SamePoints(b.points[c])) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Faults on the line, met by a gamma write of the editor.

// What the editor shows once the write ended.
enum class Shown { Nothing, NotConfirmed, NotQueued };

struct LineRow {
    const char* name;
    const char* fault;
    const char* made;
    std::vector<std::string> sim; // projector-sim's fault options
    std::vector<int> messages;    // the link's messages (4102 as the frame shows it, 4105)
    Shown shown;
    // The line comes back (a new terminal) before the next write; without it, and when the
    // projector hung up, the next write is refused at once.
    bool nextRefused = false;
    bool timingExact = false; // see TimingExactRowsRun
    WriteTimes times = kWriteTimes;
};

class LineFault : public GuiTest, public testing::WithParamInterface<LineRow> {
protected:
    void TearDown() override {
        if (HasFailure()) {
            std::cout << "projector-sim's log:\n" << TempDir::Read(temp.Path() / "sim.log");
        }
        GuiTest::TearDown();
    }

    void Start(std::vector<std::string> simOptions, WriteTimes times) {
        // A block the projector still awaits after the write was dropped is given up before the
        // user's next write.
        simOptions.insert(simOptions.end(),
                          {"--verbose", "--dump-gamma", dump.string(), "--block-timeout",
                           std::to_string(times.blockTimeoutMs), "--link",
                           (temp.Path() / "projector").string()});
        std::map<std::string, std::int32_t> link = kQuickLink;
        link["REC_TIMEOUT_ON"] = link["REC_TIMEOUT_OFF"] = times.answerTimeoutMs;
        sim = std::make_unique<SimulatorLink>(simOptions, 38400, (temp.Path() / "sim.log").string(),
                                              link);
        ASSERT_EQ(sim->Error(), "");
        sim->Link().Model().presetGamma[0] = Preset(30);
        sim->Link().Model().presetGamma[1] = Preset(-20);
        dialog = std::make_unique<CGammaDialog>(sim->Link(), settings, notifier, prompts);
        Run();
        ASSERT_TRUE(dialog->isEnabled());
        ASSERT_TRUE(messages.empty() && prompts.shown.empty()) << "the line was not well";
    }

    // Services the link as the frame's timer does (a dropped queue is message 4102) and ticks
    // the editor every 50 ms, until the editor is ready for input again. How long it took.
    SteadyTime::duration Run() {
        const auto start = SteadyTime::now();
        auto nextTick = start;
        for (;;) {
            if (sim->Link().Service()) {
                messages.push_back(kMessageQueueDropped);
            }
            const auto now = SteadyTime::now();
            if (now >= nextTick) {
                dialog->OnTimer();
                nextTick = now + 50ms;
                if (!dialog->Pending() && !sim->Link().IsBusy()) {
                    return now - start;
                }
            }
            if (now - start > kBound) {
                ADD_FAILURE() << "the editor was still busy after " << Ms(now - start);
                return now - start;
            }
            std::this_thread::sleep_for(1ms);
        }
    }

    // Writes the active bank; how long until the editor took input again.
    SteadyTime::duration WriteAll() {
        messages.clear();
        linkMessagesBefore = sim->Messages().size();
        prompts.shown.clear();
        FindControl<QAbstractButton>(dialog.get(), kGammaWriteAll)->click();
        return Run();
    }

    std::vector<int> Messages() const {
        std::vector<int> all = messages;
        all.insert(all.end(), sim->Messages().begin() + linkMessagesBefore, sim->Messages().end());
        std::sort(all.begin(), all.end());
        return all;
    }

    std::string Sees() const {
        std::string text;
        for (int id : Messages()) {
            text += (text.empty() ? "" : "; ") + Gist(id);
        }
        for (const QString& shown : prompts.shown) {
            text += (text.empty() ? "editor: " : "; editor: ") + Gist(shown);
        }
        return text.empty() ? "nothing (the write is confirmed)" : text;
    }

    MemorySettings settings;
    RecordingNotifier notifier;
    RecordingPrompts prompts;
    std::filesystem::path dump = temp.Path() / "gamma.txt";
    std::unique_ptr<SimulatorLink> sim;
    std::unique_ptr<CGammaDialog> dialog;
    std::vector<int> messages; // shown by the frame for the link since the last write
    std::size_t linkMessagesBefore = 0;
};

TEST_P(LineFault, EndsInTimeTellsTheUserKeepsTheCurvesAndTheNextWriteWorks) {
    const LineRow& row = GetParam();
    if (row.timingExact && !TimingExactRowsRun()) {
        GTEST_SKIP() << kTimingExactSkipped;
    }
    Report report{row.fault, row.made};
    Start(row.sim, row.times);
    if (HasFatalFailure()) {
        return File(report);
    }
    const GammaTable before = dialog->Graph().Active();

    const auto took = WriteAll();
    EXPECT_LT(took, kBound);
    report.time = Ms(took);
    report.sees = Sees();
    EXPECT_EQ(Messages(), row.messages);
    if (row.shown == Shown::Nothing) {
        EXPECT_TRUE(prompts.shown.empty()) << report.sees;
        // A write the user is not warned about is in the projector, whole.
        EXPECT_EQ(TempDir::Read(dump),
                  ExpectedGammaDump(dialog->Graph().ActiveBank(), before, kAllChannels))
            << TempDir::Read(temp.Path() / "sim.log");
    } else {
        const int id = row.shown == Shown::NotConfirmed ? 4112 : 4113;
        const QString start = LoadString(id).left(30);
        ASSERT_EQ(prompts.shown.size(), 1u) << report.sees;
        EXPECT_TRUE(prompts.shown[0].contains(start)) << report.sees;
    }
    EXPECT_TRUE(dialog->isEnabled());
    const bool kept = SameCurves(before, dialog->Graph().Active());
    EXPECT_TRUE(kept);
    report.curves = kept ? "yes" : "NO";

    // The next write, after the user's pause: the fault is over, or the projector is gone.
    if (std::find(row.sim.begin(), row.sim.end(), "--come-back-after") != row.sim.end()) {
        ASSERT_TRUE(sim->Simulator().ReadLine(10s)) << "the line did not come back";
    }
    std::this_thread::sleep_for(2 * std::chrono::milliseconds(row.times.blockTimeoutMs));
    const auto nextTook = WriteAll();
    if (row.nextRefused) {
        EXPECT_TRUE(Messages().empty());
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(prompts.shown[0].contains(LoadString(4113).left(30)));
        EXPECT_LT(nextTook, kBound);
        report.next = "refused at once (" + Ms(nextTook) + "): " + Gist(prompts.shown[0]);
    } else {
        EXPECT_TRUE(Messages().empty()) << Sees();
        EXPECT_TRUE(prompts.shown.empty()) << Sees();
        EXPECT_EQ(sim->Simulator().Stop(10s), 0);
        EXPECT_EQ(TempDir::Read(dump),
                  ExpectedGammaDump(dialog->Graph().ActiveBank(), before, kAllChannels));
        report.next = "yes: 12 blocks confirmed and stored (" + Ms(nextTook) + ")";
    }
    EXPECT_TRUE(SameCurves(before, dialog->Graph().Active()));
    File(report);
}

// Commands the projector counts: 1 the editor's power query, then the write's 12 entries,
// announce and block in turn (2 "GAMM   0", 3 block 0, 4 "GAMM   1", ...).
const LineRow kLineRows[] = {
    {"ErrBurstShorterThanRetry",
     "ERR burst shorter than RETRY",
     "--err BLOCK:2: the first block refused twice",
     {"--faults-from", "2", "--err", "BLOCK:2"},
     {},
     Shown::Nothing},
    {"ErrBurstOfRetry",
     "ERR burst of RETRY (3) answers",
     "--err BLOCK:3: the first block refused three times",
     {"--faults-from", "2", "--err", "BLOCK:3"},
     {kMessageTransferRejected},
     Shown::NotConfirmed},
    {"Silence",
     "silence",
     "--silent for 3 commands from the first announce",
     {"--faults-from", "2", "--faults-for", "3", "--silent"},
     {kMessageQueueDropped},
     Shown::NotConfirmed},
    {"ByteByByte",
     "answers split byte by byte",
     "--byte-gap 4: each answer byte 4 ms apart",
     {"--faults-from", "2", "--byte-gap", "4"},
     {},
     Shown::Nothing},
    {"SlowAnswers",
     "slow answers",
     "--delay 150 (the answer time-out is 1500 ms)",
     {"--faults-from", "2", "--delay", "150"},
     {},
     Shown::Nothing},
    {"AnswersLaterThanTheTimeOut",
     "slow answers, later than the time-out",
     "--delay 700 for the write's first 3 commands (the answer time-out is 500 ms)",
     {"--faults-from", "2", "--faults-for", "3", "--delay", "700"},
     {},
     Shown::Nothing,
     false,
     true,
     kExactTimes},
    {"GarbageAndLongLines",
     "garbage and over-long lines",
     "--garbage-every 3 --long-every 5 for the write's 12 commands",
     {"--faults-from", "2", "--faults-for", "12", "--garbage-every", "3", "--long-every", "5"},
     {},
     Shown::NotConfirmed},
    {"ControlBytesAndNoise",
     "control bytes and line noise",
     "--noise: NUL, LF and BEL before every answer byte",
     {"--faults-from", "2", "--noise"},
     {},
     Shown::Nothing},
    {"HangUpMidWrite",
     "hang-up in the middle of a gamma write",
     "--hang-up-after 4: the terminal closed after \"GAMM   1\" was answered",
     {"--hang-up-after", "4"},
     {kMessageQueueDropped},
     Shown::NotConfirmed,
     true},
    {"ComesBackAfterHangUp",
     "the simulator coming back after a hang-up",
     "--hang-up-after 4 --come-back-after 300: a new terminal behind the same port name",
     {"--hang-up-after", "4", "--come-back-after", "300"},
     {kMessageQueueDropped},
     Shown::NotConfirmed},
    {"UnpluggedMidWrite",
     "USB adapter unplugged during a write",
     "--unplug-after-bytes 384: the pseudo-terminal master closed 100 bytes into block 1, "
     "plugged in again 300 ms later",
     {"--unplug-after-bytes", "384", "--come-back-after", "300"},
     {kMessageQueueDropped},
     Shown::NotConfirmed},
};

INSTANTIATE_TEST_SUITE_P(Rows, LineFault, testing::ValuesIn(kLineRows),
                         [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------
// Faults of the link that no gamma write meets.

TEST(LinkFault, PowerGracePeriodWaitsForAProjectorWarmingUp) {
    if (!TimingExactRowsRun()) {
        GTEST_SKIP() << kTimingExactSkipped;
    }
    // Switched on from off, the projector answers nothing for 1100 ms; with RETRY 3 and a
    // 400 ms time-out the query would be dropped before that, were it not for the grace period.
    Report report{"the power grace period",
                  "--power 0 --warm-up 1100; \"POWR   1\" then \"POWR????\" with a 400 ms "
                  "time-out, RETRY 3 and POWERON_WAIT 1000 (without the grace period the query "
                  "would be dropped at about 1250 ms)",
                  "", "", "n/a (no curves involved)"};
    SimulatorLink sim({"--power", "0", "--warm-up", "1100"}, 38400, {},
                      {{"REC_TIMEOUT_ON", 400}, {"REC_TIMEOUT_OFF", 400}, {"POWERON_WAIT", 1000}});
    ASSERT_EQ(sim.Error(), "");
    CProjectorLink& link = sim.Link();
    const auto start = SteadyTime::now();
    ASSERT_TRUE(link.QueueCommand("POWR   1\r", 9, AnswerKind::Plain, 0));
    ASSERT_TRUE(link.SendValue("POWR", kNoValue, 0));
    const bool dropped = sim.ServiceUntilIdle(kBound);
    const auto took = SteadyTime::now() - start;
    EXPECT_FALSE(dropped);
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(link.Status().FindOrAdd(CodeKey("POWR")).value, 1);
    EXPECT_GE(took, 1000ms) << "answered before the warm-up ended?";
    EXPECT_LT(took, kBound);
    report.time = Ms(took);
    report.sees = dropped ? "4102" : "nothing: the query is answered 1 once the projector is up";

    ASSERT_TRUE(link.SendValue("MOUT", kNoValue, 0));
    const auto nextStart = SteadyTime::now();
    EXPECT_FALSE(sim.ServiceUntilIdle(kBound));
    EXPECT_EQ(link.Status().FindOrAdd(CodeKey("MOUT")).value, 0);
    report.next = "yes: \"MOUT????\" answered (" + Ms(SteadyTime::now() - nextStart) + ")";
    File(report);
}

TEST(LinkFault, PortTakenByAnotherProgramIsRefusedWithTheReason) {
    Report report{"a port taken by another program",
                  "a second process holds an exclusive lock (flock) on the terminal", "", "",
                  "n/a (no curves involved)"};
    SimulatorLink sim({}, 38400);
    ASSERT_EQ(sim.Error(), "");
    CProjectorLink& link = sim.Link();
    const std::string device = sim.PortFactory().DevicePath(1);
    link.CloseOtherPorts(-1);

    ChildProcess holder({"/usr/bin/python3", "-c",
                         "import fcntl, os, sys\n"
                         "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                         "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                         "print('held', flush=True)\n"
                         "sys.stdin.read()\n",
                         device});
    ASSERT_EQ(holder.ReadLine(10s), "held");
    const auto start = SteadyTime::now();
    EXPECT_EQ(link.UsePort(1), nullptr);
    const auto took = SteadyTime::now() - start;
    const std::string reason = sim.PortFactory().LastOpenFailure();
    EXPECT_NE(reason.find("in use by another program"), std::string::npos) << reason;
    EXPECT_FALSE(link.SendValue("POWR", kNoValue, 0)) << "nothing is queued on a port not open";
    report.time = Ms(took);
    report.sees = "the port is refused at once: \"" + reason + "\" (tonedesk-cli: \"COM1 (" +
                  device + ") cannot be opened: " + reason +
                  "\"); the program's scan leaves the port out of its list";

    holder.Stop(10s);
    PortEntry* port = link.UsePort(1);
    ASSERT_NE(port, nullptr) << sim.PortFactory().LastOpenFailure();
    port->baudRate = 38400;
    ASSERT_TRUE(link.OpenPort(*port));
    ASSERT_TRUE(link.SendValue("POWR", kNoValue, 0));
    EXPECT_FALSE(sim.ServiceUntilIdle(kBound));
    EXPECT_EQ(link.Status().FindOrAdd(CodeKey("POWR")).value, 1);
    report.next = "yes: once the other program let go, the port opens and \"POWR????\" is "
                  "answered";
    File(report);
}

// The frame's side of the control panel, on the row's link.
class PanelHost final : public ControlPanelHost {
public:
    explicit PanelHost(CProjectorLink& link) : link_(link) {}
    CProjectorLink& PanelLink() override { return link_; }
    std::int32_t PanelInteractionBits() const override { return bits_; }
    void SetPanelDragging(bool dragging) override { bits_ = dragging ? bits_ | 1 : bits_ & ~1; }
    const Clock& PanelClock() const override { return clock_; }
    UserPrompts& PanelPrompts() override { return prompts; }
    Notifier& PanelNotifier() override { return notifier; }
    bool RunPanelCommand(int) override { return false; }
    bool IsPanelCommandEnabled(int) override { return false; }
    void RunReceivedTextDialog() override {}

    RecordingPrompts prompts;
    RecordingNotifier notifier;

private:
    CProjectorLink& link_;
    SteadyClock clock_;
    std::int32_t bits_ = 0;
};

class PanelFault : public GuiTest {};

TEST_F(PanelFault, ProjectorSwitchedOffDuringAPollStopsTheLeaveQueriesAndDisablesItsControls) {
    Report report{"a projector switched off during a control-panel poll",
                  "DEMO-100's tab 302 polls projector-sim; its power button (SIGUSR1) is pressed "
                  "once the poll's power query was answered, later the page's Power on button; "
                  "then its mains (SIGUSR2) are switched off the same way, and on again",
                  "", "", "n/a (no curves involved)"};
    const auto log = temp.Path() / "sim.log";
    SimulatorLink sim({"--verbose"}, 38400, log.string(), kQuickLink);
    ASSERT_EQ(sim.Error(), "");
    CProjectorLink& link = sim.Link();
    link.Model().SetFolder(BuiltProgramDir() + "/");
    ASSERT_EQ(link.Model().ReadModelFile("DEMO-100"), ModelLookup::Found);
    PanelHost host(link);
    ControlPanelTables tables;
    tables.Prepare(link.Model());
    CControlSheet sheet(host, tables);
    sheet.Tabs()->setCurrentIndex(2);
    sheet.show();
    CTabPage* page = sheet.ActivePage();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->TemplateId(), 302);
    page->Timer().stop();
    std::vector<int> dropped;
    const auto serviceUntilIdle = [&] {
        if (sim.ServiceUntilIdle(kBound)) {
            dropped.push_back(kMessageQueueDropped);
        }
    };
    // One poll cycle, from the page's first tick to its end; how long it took.
    const auto poll = [&](const std::function<void()>& afterPowerQuery = {}) {
        const auto start = SteadyTime::now();
        page->refreshStamp = 0;
        page->OnTimer(); // the power query
        serviceUntilIdle();
        if (afterPowerQuery) {
            afterPowerQuery();
        }
        while (page->refreshStamp == 0 && SteadyTime::now() - start < kBound) {
            page->OnTimer();
            serviceUntilIdle();
        }
        page->OnTimer(); // shows what the cycle read
        EXPECT_NE(page->refreshStamp, 0u) << "the poll did not end";
        return SteadyTime::now() - start;
    };
    const std::vector<int> offControls{1203, 1204, 1205, 1207, 1208};
    const auto enabled = [&](int id) { return page->Item(id) && page->Item(id)->isEnabled(); };

    poll();
    for (int id : offControls) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    const int leaveQueries = SimulatorReceived(log, "PATT????");
    EXPECT_GE(leaveQueries, 1);

    // Switched off in the middle of a poll: that poll ends, the next sees the power off.
    const auto took = poll([&] { ::kill(sim.Simulator().Pid(), SIGUSR1); });
    const int afterSwitchOff = SimulatorReceived(log, "PATT????");
    const auto nextTook = poll();
    EXPECT_LT(took + nextTook, kBound);
    report.time = Ms(took) + " + " + Ms(nextTook) + " (the poll switched off in, the next one)";
    EXPECT_EQ(link.Status().FindOrAdd(CodeKey("POWR")).value, 0);
    EXPECT_EQ(SimulatorReceived(log, "PATT????"), afterSwitchOff) << "leave codes asked while off";
    bool allDisabled = true;
    for (int id : offControls) {
        allDisabled = allDisabled && !enabled(id);
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_TRUE(enabled(1206)) << "Power on stays usable";
    EXPECT_TRUE(dropped.empty() && host.notifier.messages.empty() && host.prompts.shown.empty());
    report.sees = std::string(allDisabled ? "the controls with DISABLE=POWR,0 disabled"
                                          : "controls NOT disabled") +
                  "; the poll asks only the power; no message";

    // Switched on at the page: the next poll asks the leave codes again and enables the controls.
    FindControl<QAbstractButton>(page->Form(), 1206)->click();
    serviceUntilIdle();
    poll();
    EXPECT_EQ(link.Status().FindOrAdd(CodeKey("POWR")).value, 1);
    EXPECT_GT(SimulatorReceived(log, "PATT????"), afterSwitchOff);
    for (int id : offControls) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    EXPECT_TRUE(dropped.empty());

    // Switched off at the mains in the middle of a poll: the rest of the poll goes unanswered.
    const auto mainsTook = poll([&] { ::kill(sim.Simulator().Pid(), SIGUSR2); });
    EXPECT_LT(mainsTook, kBound);
    EXPECT_FALSE(dropped.empty()) << "the missing answers were not reported";
    report.time += "; mains: " + Ms(mainsTook);
    report.sees += "; at the mains: " + Gist(kMessageQueueDropped) +
                   " once the poll's queries went unanswered";
    dropped.clear();
    ::kill(sim.Simulator().Pid(), SIGUSR2);
    const int beforeBack = SimulatorReceived(log, "PATT????");
    poll();
    EXPECT_TRUE(dropped.empty());
    EXPECT_GT(SimulatorReceived(log, "PATT????"), beforeBack);
    report.next = "yes: after Power on (or the mains back on) the next poll asks the leave codes "
                  "and the controls are enabled";
    File(report);
}

// ---------------------------------------------------------------------------------------------
// Files.

// A folder of its own small file system (tmpfs), when this process may mount one.
class SmallVolume {
public:
    explicit SmallVolume(std::filesystem::path dir, const char* size = "size=64k")
        : dir_(std::move(dir)) {
        std::filesystem::create_directories(dir_);
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, size) == 0;
        if (!mounted_) {
            why_ = std::string("no tmpfs could be mounted: ") + std::strerror(errno);
        }
    }
    ~SmallVolume() {
        if (mounted_) {
            ::umount2(dir_.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    // Writes a filler file until the volume is full.
    void Fill() const {
        const FileDescriptor filler{::open((dir_ / "filler").c_str(), O_WRONLY | O_CREAT, 0600)};
        const std::string page(4096, 'x');
        while (::write(filler.fd, page.data(), page.size()) > 0) {
        }
    }
    bool MakeReadOnly() const {
        return ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    std::string why_;
};

// A file size limit for this process in place of a full disk: writes beyond it fail (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Takes the write permission of a folder away (only where that binds: not for the super-user)
// and gives it back.
class FolderLock {
public:
    ~FolderLock() { Unlock(); }
    bool Lock(const std::filesystem::path& dir) {
        if (::geteuid() == 0) {
            return false;
        }
        std::filesystem::permissions(dir, std::filesystem::perms::owner_read |
                                              std::filesystem::perms::owner_exec);
        dir_ = dir;
        return true;
    }
    void Unlock() {
        if (!dir_.empty()) {
            std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
            dir_.clear();
        }
    }

private:
    std::filesystem::path dir_;
};

enum class Saved { Gamma, Settings };

const char* KindName(Saved what) {
    return what == Saved::Gamma ? "gamma file" : "settings file";
}

// The gamma editor and the settings files on a scripted projector line.
class FileFault : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        line = ports.AddLine(1);
        line->Reply("POWR????\r", "1\r");
        line->Reply("BRIT????\r", "50\r");
        line->Reply("CONT????\r", "-10\r");
        line->Reply("BRIT  12\r", "OK\r");
        line->Reply("BRIT  33\r", "OK\r");
        link.StopScanning();
        ASSERT_NE(link.UsePort(1), nullptr);
        ASSERT_EQ(
            link.Model().ParseModelText(
                "[PROPERTY]\r\nPROJECTOR_NAME=DEMO\r\n[SAVE]\r\nCOMMAND=BRIT CONT\r\n", "DEMO-100"),
            ModelLookup::Found);
        link.Model().presetGamma[0] = Preset(40);
        dialog = std::make_unique<CGammaDialog>(
            link, settings, notifier, prompts,
            [this](const std::string&, const std::string&) -> std::optional<GammaSaveChoice> {
                return GammaSaveChoice{target, true};
            });
        Settle();
    }

    void Settle() {
        for (int ms = 0; ms < 10000 && link.IsBusy(); ++ms) {
            clock.Advance(1);
            link.Service();
        }
        dialog->OnTimer();
    }

    // Saves into `target` as the user does; how long it took.
    SteadyTime::duration Save(Saved what) {
        notifier.fileErrors.clear();
        const auto start = SteadyTime::now();
        if (what == Saved::Gamma) {
            FindControl<QAbstractButton>(dialog.get(), kCommandFileSaveAs)->click();
        } else {
            PrepareSettingsSave(link, settings, target);
            CSettingsSave save;
            EXPECT_TRUE(save.Start(link, target, "DEMO-100"));
            SaveState state = SaveState::Running;
            for (int ms = 0; ms < 10000 && state == SaveState::Running; ++ms) {
                clock.Advance(1);
                link.Service();
                state = save.Poll(link, notifier);
            }
            EXPECT_EQ(state, notifier.fileErrors.empty() ? SaveState::Written : SaveState::Failed);
        }
        return SteadyTime::now() - start;
    }

    std::string target;
    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    RecordingNotifier notifier;
    RecordingPrompts prompts;
    CProjectorLink link{settings, clock, ports, notifier};
    std::shared_ptr<FakeLine> line;
    std::unique_ptr<CGammaDialog> dialog;
};

struct SaveRow {
    const char* name;
    const char* fault;
    Saved what;
    bool existing; // a file is there already (it must stay intact)
};

class SaveFault : public FileFault, public testing::WithParamInterface<SaveRow> {};

constexpr const char* kOldContent = "DEMO-100\r\nBRIT  12\r\n";

TEST_P(SaveFault, LeavesTheOldFileIntactAndSaysWhy) {
    const SaveRow& row = GetParam();
    const char* kind = KindName(row.what);
    Report report{std::string(row.fault) + ", " + kind + (row.existing ? " over an old one" : "")};
    const auto dir = temp.Path() / "volume";
    SmallVolume volume(dir);
    target = (dir / (row.what == Saved::Gamma ? "curves.gam" : "settings.txt")).string();
    std::unique_ptr<FileSizeLimit> limit;
    const std::string fault = row.name;
    std::string secondName;
    FolderLock folderLock;
    bool bound = false;
    if (row.existing) {
        std::ofstream(target, std::ios::binary) << kOldContent;
    }
    if (fault.starts_with("Full")) {
        if (fault == "FullFolderSecondName") {
            // A file with a second name is rewritten in place, not replaced.
            secondName = (dir / "other-name").string();
            std::filesystem::create_hard_link(target, secondName);
        }
        if (volume.Mounted()) {
            volume.Fill();
            report.made = "a 64 KiB tmpfs filled up";
        } else {
            limit = std::make_unique<FileSizeLimit>(16);
            report.made = "injected: a 16-byte file size limit (setrlimit) in place of a full "
                          "disk (" +
                          volume.Why() + ")";
        }
        if (!secondName.empty()) {
            report.made += "; the old file has a second name (hard link)";
            report.fault += " that has a second name";
        }
    } else if (fault.starts_with("ReadOnly")) {
        if (volume.Mounted()) {
            ASSERT_TRUE(volume.MakeReadOnly());
            report.made = "a tmpfs remounted read-only";
        } else if (folderLock.Lock(dir)) {
            report.made = "a folder without write permission (chmod 500)";
        } else {
            report.result = "skipped: " + volume.Why();
            File(report);
            GTEST_SKIP() << volume.Why();
        }
    } else if (fault.starts_with("CannotReplace")) {
        // The old file can be written, but nothing can be renamed over it: it is a mount point,
        // or (where this process may not mount) its folder takes no new names.
        if (::mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0) {
            bound = true;
            report.made = "the old file is a bind mount of itself (a rename over it fails)";
        } else if (folderLock.Lock(dir)) {
            report.made = "the old file is writable, its folder is not (chmod 500)";
        } else {
            report.result = std::string("skipped: cannot bind-mount the file over itself: ") +
                            std::strerror(errno);
            File(report);
            GTEST_SKIP() << report.result;
        }
    }

    const GammaTable before = dialog->Graph().Active();
    const auto took = Save(row.what);
    limit.reset();
    EXPECT_LT(took, kBound);
    report.time = Ms(took);
    ASSERT_EQ(notifier.fileErrors.size(), 1u) << "the user was not told";
    EXPECT_EQ(notifier.fileErrors[0].fileName, target);
    report.sees =
        "file error box: " + notifier.fileErrors[0].fileName.substr(dir.string().size() + 1) +
        ": \"" + notifier.fileErrors[0].reason + "\"";
    bool intact = true;
    if (row.existing) {
        intact = TempDir::Read(target) == kOldContent &&
                 (secondName.empty() || TempDir::Read(secondName) == kOldContent);
        EXPECT_TRUE(intact) << "the old file was damaged";
        report.sees += intact ? "; the old file intact" : "; the old file DAMAGED";
    } else {
        EXPECT_FALSE(std::filesystem::exists(target)) << "a partial file was left";
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp") != std::string::npos) {
            left.push_back(name);
        }
    }
    EXPECT_TRUE(left.empty()) << "temporary file left: " << left.front();
    const bool kept = SameCurves(before, dialog->Graph().Active());
    EXPECT_TRUE(kept);
    report.curves = kept ? "yes" : "NO";
    if (bound) {
        ::umount2(target.c_str(), MNT_DETACH);
    }
    folderLock.Unlock();

    // The next save, into a folder that takes it.
    target = (temp.Path() / "good").string();
    Save(row.what);
    EXPECT_TRUE(notifier.fileErrors.empty());
    EXPECT_TRUE(std::filesystem::exists(target));
    report.next = "yes: saved into another folder";
    File(report);
}

const SaveRow kSaveRows[] = {
    {"FullFolderNewGamma", "full folder", Saved::Gamma, false},
    {"FullFolderOldGamma", "full folder", Saved::Gamma, true},
    {"FullFolderNewSettings", "full folder", Saved::Settings, false},
    {"FullFolderOldSettings", "full folder", Saved::Settings, true},
    {"FullFolderSecondName", "full folder", Saved::Gamma, true},
    {"ReadOnlyGamma", "read-only folder", Saved::Gamma, true},
    {"ReadOnlySettings", "read-only folder", Saved::Settings, true},
    {"CannotReplaceGamma", "a file that cannot be replaced", Saved::Gamma, true},
    {"CannotReplaceSettings", "a file that cannot be replaced", Saved::Settings, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, SaveFault, testing::ValuesIn(kSaveRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Reading files that are cut short, binary, huge or endless.
struct ReadRow {
    const char* name;
    const char* fault;
    const char* made;
    Saved what;
    std::function<void(const std::string& path)> make;
    bool refused;    // told as a file error (else read with the defined result)
    int message = 0; // the message that tells about a settings file read (0 none)
};

class ReadFault : public FileFault, public testing::WithParamInterface<ReadRow> {
protected:
    // Opens `path` as the user does, cancelling when asked again; how long it took.
    SteadyTime::duration Open(Saved what, const std::string& path) {
        notifier.fileErrors.clear();
        notifier.messages.clear();
        line->ClearWritten();
        const auto start = SteadyTime::now();
        if (what == Saved::Gamma) {
            prompts.answers = {path};
            FindControl<QAbstractButton>(dialog.get(), kCommandFileOpen)->click();
        } else {
            std::deque<std::optional<std::string>> answers{path};
            OpenSettingsFile(link, settings, notifier, "DEMO-100",
                             [&](const std::string&) -> std::optional<std::string> {
                                 if (answers.empty()) {
                                     return std::nullopt;
                                 }
                                 auto a = answers.front();
                                 answers.pop_front();
                                 return a;
                             });
        }
        const auto took = SteadyTime::now() - start;
        Settle();
        return took;
    }
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST_P(ReadFault, TellsClearlyOrGivesTheDefinedResult) {
    const ReadRow& row = GetParam();
    Report report{std::string(row.fault) + ", " + KindName(row.what), row.made};
    const std::string path = (temp.Path() / "file").string();
    row.make(path);
    const GammaTable before = dialog->Graph().Active();

    const auto took = Open(row.what, path);
    EXPECT_LT(took, kBound);
    report.time = Ms(took);
    if (row.refused) {
        ASSERT_EQ(notifier.fileErrors.size(), 1u) << "the user was not told";
        report.sees = "file error box: \"" + notifier.fileErrors[0].reason +
                      "\", then the file "
                      "dialog again";
    } else {
        EXPECT_TRUE(notifier.fileErrors.empty());
        EXPECT_EQ(notifier.messages,
                  row.message ? std::vector<int>{row.message} : std::vector<int>{});
        report.sees = notifier.messages.empty()
                          ? ""
                          : Gist(notifier.messages[0], notifier.arguments[0]) + "; ";
    }
    const GammaTable& after = dialog->Graph().Active();
    if (row.what == Saved::Gamma && !row.refused) {
        // The defined result: the file's values where it has them, 0 where it has none.
        for (int c = 0; c < kChannelCount; ++c) {
            for (int i = 0; i < kLevelCount; ++i) {
                ASSERT_LE(after.levels[c][i], 1023) << c << " " << i;
            }
        }
        report.sees += "read without a message: each line's leading numbers, 0 where a line has "
                       "none; every level within 0..1023";
        report.curves = "replaced by the file's, as opening does";
    } else {
        const bool kept = SameCurves(before, after);
        EXPECT_TRUE(kept);
        report.curves = kept ? "yes" : "NO";
    }
    if (row.what == Saved::Settings && !row.refused) {
        report.sees += std::to_string(line->WrittenText().size() / 9) + " command(s) sent";
    }

    // The next open, of a good file.
    const std::string good = (temp.Path() / "good").string();
    if (row.what == Saved::Gamma) {
        ASSERT_EQ(WriteGammaFile(good, before, true, notifier), GammaFileResult::Done);
        Open(row.what, good);
        EXPECT_TRUE(notifier.fileErrors.empty());
        EXPECT_TRUE(SameCurves(before, dialog->Graph().Active()));
        report.next = "yes: a good gamma file opens";
    } else {
        WriteText(good, "DEMO-100\r\nBRIT  33\r\n");
        Open(row.what, good);
        EXPECT_TRUE(notifier.fileErrors.empty());
        EXPECT_EQ(line->WrittenText(), "BRIT  33\r");
        report.next = "yes: a good settings file is sent";
    }
    File(report);
}

void MakeHuge(const std::string& path) {
    WriteText(path, "DEMO-100\r\n");
    std::filesystem::resize_file(path, kMaxReadFileSize + 1);
}

// Bytes of every value, NUL and line ends among them, from a fixed seed.
void MakeBinary(const std::string& path) {
    std::string bytes(4096, '\0');
    std::uint32_t x = 12345;
    for (char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    WriteText(path, bytes);
}

const ReadRow kReadRows[] = {
    {"TruncatedGamma", "truncated", "a gamma file cut in the middle of line 101", Saved::Gamma,
     [](const std::string& path) {
         WriteText(path, FormatGammaFile(GammaTable{}, true).substr(0, 100 * 37 + 15));
     },
     false},
    {"BinaryGamma", "binary", "4 KiB of random bytes", Saved::Gamma, MakeBinary, true},
    {"HugeGamma", "huge", "a sparse file of 16 MiB + 1 byte", Saved::Gamma, MakeHuge, true},
    {"EndlessGamma", "endless", "a named pipe (FIFO) nobody writes to", Saved::Gamma,
     [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, true},
    {"TruncatedSettings", "truncated", "a settings file cut in the middle of its second command",
     Saved::Settings,
     [](const std::string& path) { WriteText(path, "DEMO-100\r\nBRIT  12\r\nCONT"); }, false,
     kMessageShortSettingsLines},
    {"BinarySettings", "binary", "4 KiB of random bytes", Saved::Settings, MakeBinary, false,
     kMessageOtherProjector},
    {"HugeSettings", "huge", "a sparse file of 16 MiB + 1 byte", Saved::Settings, MakeHuge, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, ReadFault, testing::ValuesIn(kReadRows),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tonedesk::test
