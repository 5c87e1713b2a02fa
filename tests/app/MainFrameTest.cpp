#include "common/GuiTestKit.h"

#include "app/MainFrame.h"
#include "common/FakeSerialPort.h"
#include "link/PosixSerialPort.h"
#include "support/Settings.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QSocketNotifier>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace tonedesk::test {
namespace {

class MainFrameTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        line = ports.AddLine(3);
        port = frame.Link().UsePort(3);
        ASSERT_NE(port, nullptr);
        frame.projectorName = "DEMO-100";
    }

    void PowerOn(int value = 1) { frame.Link().Status().FindOrAdd(CodeKey("POWR")).value = value; }

    // Starts saving the settings into the temporary folder, the projector switched on; with
    // `ask`, the save waits for the answer to "BRIT????", else it ends at the next tick.
    void StartSave(bool ask) {
        PowerOn();
        CommandItem brit;
        brit.code = {'B', 'R', 'I', 'T'};
        frame.Link().Model().saveCommands.items.assign(ask ? 1 : 0, brit);
        answers = {temp.Path().string() + "/saving.txt"};
        ASSERT_TRUE(frame.OnCommand(kCommandFileSaveAs));
        ASSERT_TRUE(frame.SaveInProgress());
    }

    // The commands waiting in the current port's queue, as text.
    std::vector<std::string> Queued() const {
        std::vector<std::string> out;
        for (std::size_t i = port->cursor; i < port->commandQueue.size(); ++i) {
            const QueuedCommand& c = port->commandQueue[i];
            out.emplace_back(reinterpret_cast<const char*>(port->sendBuffer.data()) + c.offset,
                             static_cast<std::size_t>(c.length));
        }
        return out;
    }

    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    ScriptedNotifier notifier;
    RecordingPrompts prompts;
    std::shared_ptr<FakeLine> line;
    CMainFrame frame{{settings, clock, ports, notifier, prompts}};
    PortEntry* port = nullptr;
    std::deque<std::optional<std::string>>& answers = prompts.answers;
    std::vector<RecordingPrompts::Ask>& asked = prompts.asked;
    std::vector<QString>& reported = prompts.shown;
};

TEST_F(MainFrameTest, SettingsFileQueuesOneCommandPerLineInOrder) {
    PowerOn();
    const std::string file =
        WriteFile("settings/lobby.txt", "DEMO-100\r\nBRIT  12\r\n\r\nCONT -10\r\nMOUT   1\r\n");
    answers = {file};
    ASSERT_TRUE(frame.OnCommand(kCommandFileOpen));

    EXPECT_EQ(Queued(), (std::vector<std::string>{"BRIT  12\r", "CONT -10\r", "MOUT   1\r"}));
    for (std::size_t i = port->cursor; i < port->commandQueue.size(); ++i) {
        EXPECT_EQ(port->commandQueue[i].kind, AnswerKind::Plain);
        EXPECT_EQ(port->commandQueue[i].pause, 0);
    }
    EXPECT_TRUE(notifier.recorder.messages.empty());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].open);
    EXPECT_EQ(asked[0].filter, LoadString(2052).toStdString());
    EXPECT_EQ(asked[0].initialPath, "");
    // The folder is remembered for the next dialog.
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), temp.Path().string() + "/settings/");

    // The engine writes them from the timer.
    for (int i = 0; i < 5; ++i) {
        frame.OnTimer();
    }
    EXPECT_EQ(line->WrittenText().substr(0, 9), "BRIT  12\r");
}

TEST_F(MainFrameTest, SettingsFileOfAnotherProjectorAsksAgain) {
    PowerOn();
    answers = {WriteFile("other.txt", "PJ-7\r\nBRIT  12\r\n"),
               temp.Path().string() + "/missing.txt", std::nullopt};
    ASSERT_TRUE(frame.OnCommand(kCommandFileOpen));
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(notifier.recorder.messages, std::vector<int>{kMessageOtherProjector});
    ASSERT_EQ(notifier.recorder.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.recorder.fileErrors[0].fileName, temp.Path().string() + "/missing.txt");
    EXPECT_EQ(notifier.recorder.fileErrors[0].reason, "No such file or directory");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].initialPath, temp.Path().string() + "/");
}

TEST_F(MainFrameTest, SettingsFileThatCannotBeReadIsAFileErrorNotAnotherProjector) {
    PowerOn();
    // Opening a folder succeeds; reading it fails.
    const std::string folder = temp.Path().string() + "/folder.txt";
    std::filesystem::create_directories(folder);
    answers = {folder, std::nullopt};
    ASSERT_TRUE(frame.OnCommand(kCommandFileOpen));
    EXPECT_TRUE(notifier.recorder.messages.empty());
    ASSERT_EQ(notifier.recorder.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.recorder.fileErrors[0].fileName, folder);
    EXPECT_EQ(asked.size(), 2u) << "the dialog is shown again";
}

TEST_F(MainFrameTest, ShortCommandLinesAreSkippedAndReportedOnce) {
    PowerOn();
    answers = {WriteFile("short.txt", "DEMO-100\r\nBRIT\r\nCONT -10\r\nMO\r\n")};
    ASSERT_TRUE(frame.OnCommand(kCommandFileOpen));
    EXPECT_EQ(Queued(), std::vector<std::string>{"CONT -10\r"});
    EXPECT_EQ(notifier.recorder.messages, std::vector<int>{kMessageShortSettingsLines});
    EXPECT_EQ(notifier.recorder.arguments, std::vector<std::string>{"2"});
}

TEST_F(MainFrameTest, CommandsNeedTheProjectorOnAndNoSaveInProgress) {
    const StatusTable& status = frame.Link().Status();
    ASSERT_EQ(status.Find(CodeKey("POWR")), nullptr);
    for (int command : {kCommandGammaDialog, kCommandFileOpen, kCommandFileSaveAs}) {
        EXPECT_FALSE(frame.IsCommandEnabled(command)) << command;
    }
    // Looking at the command adds the entry.
    ASSERT_NE(status.Find(CodeKey("POWR")), nullptr);
    EXPECT_EQ(status.Find(CodeKey("POWR"))->value, 0);

    PowerOn(kNoValue);
    EXPECT_FALSE(frame.IsCommandEnabled(kCommandGammaDialog));
    EXPECT_FALSE(frame.OnCommand(kCommandFileOpen));
    EXPECT_TRUE(asked.empty());

    PowerOn(1);
    for (int command : {kCommandGammaDialog, kCommandFileOpen, kCommandFileSaveAs}) {
        EXPECT_TRUE(frame.IsCommandEnabled(command)) << command;
    }
    EXPECT_FALSE(frame.IsCommandEnabled(4711));

    StartSave(false);
    EXPECT_TRUE(frame.IsCommandEnabled(kCommandGammaDialog));
    EXPECT_FALSE(frame.IsCommandEnabled(kCommandFileOpen));
    EXPECT_FALSE(frame.IsCommandEnabled(kCommandFileSaveAs));
}

TEST_F(MainFrameTest, GammaEditorCommandSignalsOncePerEnabledRun) {
    QSignalSpy requested(&frame, &CMainFrame::GammaDialogRequested);
    EXPECT_FALSE(frame.OnCommand(kCommandGammaDialog));
    EXPECT_EQ(requested.count(), 0);
    PowerOn();
    EXPECT_TRUE(frame.OnCommand(kCommandGammaDialog));
    EXPECT_EQ(requested.count(), 1);
    EXPECT_TRUE(asked.empty());
}

TEST_F(MainFrameTest, ChoosingASaveFileRewindsTheSaveListsAndStartsTheSave) {
    PowerOn();
    CModelFile& model = frame.Link().Model();
    model.saveCommands.items.resize(3);
    model.saveCommands.readPosition = 2;
    model.saveCommands2.items.resize(1);
    model.saveCommands2.readPosition = 1;

    answers = {std::nullopt};
    ASSERT_TRUE(frame.OnCommand(kCommandFileSaveAs));
    EXPECT_FALSE(frame.SaveInProgress());
    EXPECT_EQ(model.saveCommands.readPosition, 2u);

    const std::string path = temp.Path().string() + "/out/lobby.txt";
    answers = {path};
    ASSERT_TRUE(frame.OnCommand(kCommandFileSaveAs));
    EXPECT_FALSE(asked.back().open);
    EXPECT_TRUE(frame.SaveInProgress());
    EXPECT_EQ(frame.settingsFilePath, path);
    EXPECT_EQ(model.saveCommands.readPosition, 0u);
    EXPECT_EQ(model.saveCommands2.readPosition, 0u);
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), temp.Path().string() + "/out/");
}

TEST_F(MainFrameTest, SaveWritesTheFileFromTheTimerAndEnds) {
    ASSERT_EQ(
        frame.Link().Model().ParseModelText(
            "[PROPERTY]\r\nPROJECTOR_NAME=DEMO\r\n[SAVE]\r\nCOMMAND=BRIT CONT\r\n", "DEMO-100"),
        ModelLookup::Found);
    PowerOn();
    line->Reply("BRIT????\r", "50\r");
    line->Reply("CONT????\r", "-7\r");
    const std::string saved = temp.Path().string() + "/lobby.txt";
    const std::string unwritable = temp.Path().string() + "/gone/lobby.txt";
    for (const std::string& path : {saved, unwritable}) {
        SCOPED_TRACE(path);
        answers = {path};
        ASSERT_TRUE(frame.OnCommand(kCommandFileSaveAs));
        EXPECT_TRUE(frame.SaveInProgress());
        for (int i = 0; i < 500 && frame.SaveInProgress(); ++i) {
            clock.Advance(1);
            frame.OnTimer();
        }
        EXPECT_FALSE(frame.SaveInProgress());
        EXPECT_TRUE(frame.IsCommandEnabled(kCommandFileSaveAs));
    }
    EXPECT_EQ(TempDir::Read(saved), "DEMO-100\r\nBRIT  50\r\nCONT  -7\r\n");
    ASSERT_EQ(notifier.recorder.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.recorder.fileErrors[0].fileName, unwritable);
    EXPECT_TRUE(notifier.recorder.messages.empty());
}

TEST_F(MainFrameTest, CloseWaitsForAQueuedTransfer) {
    QSignalSpy closed(&frame, &CMainFrame::Closed);
    const char block[] = "GAMM   0\r";
    ASSERT_TRUE(frame.Link().QueueCommand(block, 9, AnswerKind::Transfer, 1));
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.Closing());
    EXPECT_EQ(frame.CurrentCursor(), CursorShape::Wait);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(closed.count(), 0);

    // Once the queue is empty the frame closes, and its hourglass goes with it.
    port->commandQueue.clear();
    port->cursor = 0;
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainFrameTest, AWaitingCloseEndsByItselfOnceTheQueueIsDone) {
    QSignalSpy closed(&frame, &CMainFrame::Closed);
    line->Reply("GAMM   0\r", "OK\r");
    ASSERT_TRUE(frame.Link().QueueCommand("GAMM   0\r", 9, AnswerKind::Transfer, 1));
    EXPECT_FALSE(frame.close());
    for (int ms = 0; ms < 1000 && closed.count() == 0; ++ms) {
        clock.Advance(1);
        frame.OnTimer();
    }
    EXPECT_EQ(closed.count(), 1) << "the transfer was answered: nothing holds the close any more";
    EXPECT_EQ(line->WrittenText(), "GAMM   0\r");
}

TEST_F(MainFrameTest, CloseWaitsForAnyQueuedCommandWhileSaving) {
    QSignalSpy closed(&frame, &CMainFrame::Closed);
    ASSERT_TRUE(frame.Link().QueueCommand("POWR????\r", 9, AnswerKind::Value, 0));
    StartSave(false);
    EXPECT_FALSE(frame.close());
    frame.OnTimer(); // the save ends: the waiting close goes on
    EXPECT_FALSE(frame.SaveInProgress());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainFrameTest, DroppedQueueAbandonsTheSaveAndLeavesTheInteractionBits) {
    PowerOn();
    for (const std::int32_t bits : {0, 1}) {
        SCOPED_TRACE(bits);
        notifier.recorder.messages.clear();
        StartSave(true);
        frame.SetPanelDragging(bits != 0);
        // The projector never answers: after RETRY time-outs the queue is dropped.
        for (int i = 0; i < 400 && notifier.recorder.messages.empty(); ++i) {
            clock.Advance(500);
            frame.OnTimer();
        }
        EXPECT_EQ(notifier.recorder.messages, std::vector<int>{kMessageQueueDropped});
        EXPECT_FALSE(frame.SaveInProgress());
        EXPECT_EQ(frame.PanelInteractionBits(), bits);
    }
}

TEST_F(MainFrameTest, TimerTickDuringAMessageIsIgnored) {
    bool nestedWrote = true;
    notifier.whileShown = [&]() {
        notifier.whileShown = nullptr;
        line->ClearWritten();
        port->commandQueue.clear();
        port->cursor = 0;
        port->pendingKind.reset();
        frame.Link().QueueCommand("MOUT   1\r", 9, AnswerKind::Plain, 0);
        frame.OnTimer(); // the message box's event loop delivers a tick
        nestedWrote = !line->WrittenText().empty();
    };
    ASSERT_TRUE(frame.Link().QueueCommand("POWR????\r", 9, AnswerKind::Value, 0));
    for (int i = 0; i < 400 && notifier.recorder.messages.empty(); ++i) {
        clock.Advance(500);
        frame.OnTimer();
    }
    ASSERT_FALSE(notifier.recorder.messages.empty());
    EXPECT_FALSE(nestedWrote);
    frame.OnTimer(); // after the box the timer works again
    EXPECT_EQ(line->WrittenText(), "MOUT   1\r");
}

TEST_F(MainFrameTest, CursorShowsWaitingAndClosing) {
    EXPECT_EQ(frame.CurrentCursor(), CursorShape::Arrow);
    ASSERT_TRUE(frame.Link().QueueCommand("POWR????\r", 9, AnswerKind::Value, 0));
    frame.OnTimer();
    ASSERT_TRUE(port->IsAwaitingAnswer());
    EXPECT_EQ(frame.CurrentCursor(), CursorShape::AppStarting);
    EXPECT_EQ(frame.cursor().shape(), Qt::BusyCursor);
    line->Feed("1\r");
    frame.OnTimer();
    ASSERT_FALSE(frame.Link().IsBusy());
    EXPECT_EQ(frame.cursor().shape(), Qt::ArrowCursor);
    // A close waiting for the save to finish.
    StartSave(true);
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(frame.CurrentCursor(), CursorShape::Wait);
    frame.OnTimer();
    EXPECT_EQ(frame.cursor().shape(), Qt::WaitCursor);
}

TEST_F(MainFrameTest, LoadModelReportsAMissingModelFile) {
    frame.Link().Model().SetFolder(temp.Path().string() + "/");
    EXPECT_NE(frame.LoadModel("NOPE-1"), ModelLookup::Found);
    EXPECT_EQ(reported, std::vector<QString>{QStringLiteral("Failed to ReadModelFile\n")});
    EXPECT_EQ(frame.projectorName, "DEMO-100");

    WriteFile("demo.ini", "[PROPERTY]\nPROJECTOR_NAME=DEMO-200\n");
    EXPECT_EQ(frame.LoadModel("DEMO-200"), ModelLookup::Found);
    EXPECT_EQ(frame.projectorName, "DEMO-200");
    EXPECT_EQ(reported.size(), 1u);
}

// The sample model's sheet: a page slot per tab and the tabs' bundle loaded; the gamma command
// makes the visible page poll afresh; closing the frame deletes the sheet.
TEST_F(MainFrameTest, LoadModelBuildsTheControlPanelThatTheGammaCommandRefreshes) {
    ASSERT_EQ(frame.LoadModel("DEMO-100"), ModelLookup::Found);
    ASSERT_NE(frame.ControlSheet(), nullptr);
    EXPECT_FALSE(frame.ControlSheet()->isVisible());
    EXPECT_EQ(frame.PanelTables().pages.size(), 3u);
    const ResourceBundle* bundle = frame.PanelTables().Bundle("DEMO100.RCC");
    ASSERT_NE(bundle, nullptr);
    EXPECT_TRUE(bundle->IsLoaded());

    frame.ControlSheet()->show();
    CTabPage* page = frame.ControlSheet()->ActivePage();
    ASSERT_NE(page, nullptr);
    page->Timer().stop();
    page->refreshStamp = 1234;
    PowerOn();
    ASSERT_TRUE(frame.OnCommand(kCommandGammaDialog));
    EXPECT_EQ(page->refreshStamp, 0u);

    frame.close();
    EXPECT_EQ(frame.ControlSheet(), nullptr);
}

// The frame on a real line (a pseudo-terminal), with a clock that stands still: the link's
// deadlines never come, so only the line's readiness can get the answers handled.
class MainFrameOnALineTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        settings.WriteText(kPortsSection, "COM2", ::ptsname(master));
        // Answers awaited far longer than the test waits: no deadline services the link.
        settings.SetInt("ENV", "POWERON_TIME", 6000000);
        settings.SetInt("ENV", "REC_TIMEOUT_OFF", 1000000);
        settings.SetInt("ENV", "RETRY", 1);
        host.port.lockFolder = temp.Path().string();
        host.consoleList = (temp.Path() / "no-console").string();
        ports = std::make_unique<PosixSerialPortFactory>(settings, host);
        frame =
            std::make_unique<CMainFrame>(AppServices{settings, clock, *ports, notifier, prompts});
    }
    void TearDown() override {
        frame.reset();
        ::close(master);
        GuiTest::TearDown();
    }

    // Runs the event loop until `done` (at most 5 s of waiting, which only a fault needs).
    static bool Until(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return done();
    }
    // The bytes the program wrote, once `count` of them arrived.
    std::string Written(std::size_t count) {
        std::string got;
        Until([&] {
            char buf[64];
            const ssize_t n = ::read(master, buf, sizeof buf);
            got.append(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
            return got.size() >= count;
        });
        return got;
    }
    void Answer(const std::string& text) {
        ASSERT_EQ(::write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // The scan of the line found the projector, which runs outside the scanning mode now.
    PortEntry& Connected() {
        frame->StartScan();
        EXPECT_EQ(Written(9), "TNAM   1\r");
        Answer("DEMO-100\r");
        EXPECT_TRUE(Until([&] { return !frame->Link().Scanning(); }));
        return *frame->Link().Port(frame->Link().Ports().at(0).ComNumber());
    }
    // The frame's descriptors watched now.
    int Watched() const {
        int n = 0;
        for (const QSocketNotifier* watch : frame->findChildren<QSocketNotifier*>()) {
            n += watch->isEnabled() ? 1 : 0;
        }
        return n;
    }

    int master = -1;
    MemorySettings settings;
    ManualClock clock;
    PosixPortHost host;
    std::unique_ptr<PosixSerialPortFactory> ports;
    ScriptedNotifier notifier;
    RecordingPrompts prompts;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameOnALineTest, AnswersAreHandledWhenTheyArriveAndAnIdleLinkIsNotPolled) {
    PortEntry& port = Connected();
    EXPECT_EQ(port.projectorName, "DEMO-100");
    EXPECT_EQ(port.baudRate, 9600);
    EXPECT_FALSE(frame->ServiceTimer().isActive());
    EXPECT_EQ(Watched(), 1);

    // A command queued from a dialog is written at once, its answer taken when it comes.
    ASSERT_TRUE(frame->Link().QueueCommand("POWR????\r", 9, AnswerKind::Value, 0, &port));
    EXPECT_EQ(Written(9), "POWR????\r");
    Answer("1\r");
    ASSERT_TRUE(Until([&] { return !frame->Link().IsBusy(&port); }));
    EXPECT_EQ(frame->Link().Status().FindOrAdd(CodeKey("POWR")).value, 1);
    EXPECT_FALSE(frame->ServiceTimer().isActive());
    EXPECT_TRUE(notifier.recorder.messages.empty());
}

// A line that stays readable while a message of the service is open would wake the message's
// event loop without end: it is not watched until the service returns.
TEST_F(MainFrameOnALineTest, LineIsNotWatchedWhileAMessageOfTheServiceIsOpen) {
    PortEntry& port = Connected();
    int watchedDuringMessage = -1;
    notifier.whileShown = [&] {
        Answer("OK\r");
        QCoreApplication::processEvents();
        watchedDuringMessage = Watched();
    };
    ASSERT_TRUE(frame->Link().QueueCommand("GAMM   0\r", 9, AnswerKind::Transfer, 0, &port));
    EXPECT_EQ(Written(9), "GAMM   0\r");
    Answer("ERR\r"); // rejected RETRY (1) times: message 4105
    ASSERT_TRUE(Until([&] { return watchedDuringMessage >= 0; }));
    EXPECT_EQ(notifier.recorder.messages, std::vector<int>{kMessageTransferRejected});
    EXPECT_EQ(watchedDuringMessage, 0);
    EXPECT_EQ(Watched(), 1);
}

// The profile's ENV/LOGFILE, or the command line's --log FILE in its place, turns the service
// log on: the frame's timer writes the exchange once 200 ms passed, and a file it cannot write is
// reported once, without stopping the link.
class MainFrameLogTest : public GuiTest {};

TEST_F(MainFrameLogTest, ServiceLogOfTheProfileIsWrittenFromTheFrameTimer) {
    const std::string service = (temp.Path() / "service.log").string();
    const struct {
        std::string profile;
        std::string commandLine;
    } cases[] = {{service, ""}, {"/dev/full", ""}, {"/dev/full", service}};
    for (const auto& c : cases) {
        const std::string& file = c.commandLine.empty() ? c.profile : c.commandLine;
        SCOPED_TRACE(file);
        std::filesystem::remove(service);
        MemorySettings settings;
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        settings.WriteText(kEnvSection, "LOGFILE", c.profile);
        ManualClock clock;
        FakeSerialPortFactory ports;
        ScriptedNotifier notifier;
        RecordingPrompts prompts;
        const auto line = ports.AddLine(3);
        line->Reply("BRIT????\r", "50\r");
        CMainFrame frame{{settings, clock, ports, notifier, prompts}, c.commandLine};
        ASSERT_NE(frame.Link().UsePort(3), nullptr);
        frame.Link().StopScanning();
        frame.Link().SendValue("BRIT", kNoValue, false);
        for (int i = 0; i < 5; ++i) {
            clock.Advance(1);
            frame.OnTimer();
        }
        EXPECT_EQ(frame.Log().Lines().size(), 3u); // open, command, answer
        frame.PollServiceLog();
        EXPECT_GT(frame.Log().Pending(), 0u) << "written before 200 ms passed";
        for (int i = 0; i < 3; ++i) {
            clock.Advance(kServiceLogFlushMs);
            frame.PollServiceLog();
        }
        EXPECT_EQ(frame.Log().Pending(), 0u);
        if (file == "/dev/full") {
            ASSERT_EQ(notifier.recorder.fileErrors.size(), 1u);
            EXPECT_EQ(notifier.recorder.fileErrors[0].fileName, file);
        } else {
            EXPECT_TRUE(notifier.recorder.fileErrors.empty());
            const std::string text = TempDir::Read(file);
            EXPECT_NE(text.find(" COM3 >> BRIT???"
                                "?<13>\n"),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find(" COM3 << 50<13>\n"), std::string::npos) << text;
        }
        EXPECT_EQ(frame.Link().Status().FindOrAdd(CodeKey("BRIT")).value, 50);
    }
}

} // namespace
} // namespace tonedesk::test
