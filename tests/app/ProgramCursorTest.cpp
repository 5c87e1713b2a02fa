#include "common/GuiTestKit.h"

#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "app/ProgramCursor.h"
#include "common/FakeSerialPort.h"
#include "support/Settings.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"
#include "ui/widgets/MessageNotifier.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDeadlineTimer>

#include <functional>

namespace tonedesk::test {
namespace {

// The shape of the application's override cursor; the arrow when there is none.
Qt::CursorShape ProgramShape() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

TEST(ProgramCursorTest, ShapesReplaceEachOtherAndTheArrowRestores) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        ProgramCursor cursor;
        cursor.Show(CursorShape::AppStarting);
        EXPECT_EQ(ProgramShape(), Qt::BusyCursor);
        cursor.Show(CursorShape::Wait);
        cursor.Show(CursorShape::Wait);
        EXPECT_EQ(ProgramShape(), Qt::WaitCursor);
        // One arrow takes every shape away: they never pile up.
        cursor.Show(CursorShape::Arrow);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        cursor.Show(CursorShape::Arrow);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        cursor.Show(CursorShape::AppStarting);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the shape outlived its owner";
}

// The program's windows on a frame whose driver services a scripted DEMO-100 on COM3 from the
// event loop, on virtual time. The link's cursor hints go to the program's own notifier, as in
// the program.
class BusyCursorTest : public GuiTest {
protected:
    class ProgramNotifier final : public Notifier {
    public:
        void Message(int stringId, const std::string& argument) override {
            recorder.Message(stringId, argument);
            shapesAtMessages.push_back(ProgramShape());
        }
        void FileError(const std::string& fileName, const std::string& reason) override {
            recorder.FileError(fileName, reason);
        }
        void SetCursorShape(CursorShape shape) override { program.SetCursorShape(shape); }

        RecordingNotifier recorder;
        MessageNotifier program;
        std::vector<Qt::CursorShape> shapesAtMessages; // the program's cursor under each message
    };

    void SetUp() override {
        GuiTest::SetUp();
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        line = ports.AddLine(3);
        line->Reply("TNAM   1\r", "DEMO-100\r");
        for (const char* code : {"POWR", "BRIT", "CONT", "SHRP", "COLT", "PMOD"}) {
            line->Reply(std::string(code) + "????\r", "1\r");
        }
    }

    // Runs the event loop, the clock moving `step` ms a pass, until `done` (at most 10 s, which
    // only a fault needs).
    bool Until(const std::function<bool()>& done, Tick step = 1) {
        const QDeadlineTimer deadline(10000);
        while (!done() && !deadline.hasExpired()) {
            clock.Advance(step);
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return done();
    }
    bool LinkWorks() { return LinkServiceDriver::LinkWorks(frame.Link()); }
    // The scan has found DEMO-100 and the frame is connected to it, as after the connection
    // dialog.
    void Connect() {
        frame.StartScan();
        ASSERT_TRUE(Until([&] { return !frame.Link().Scanning(); }));
        ASSERT_EQ(frame.LoadModel("DEMO-100"), ModelLookup::Found);
        ASSERT_TRUE(frame.Link().UseScannedPort(frame.Link().Ports().at(0).portIndex));
    }

    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    ProgramNotifier notifier;
    RecordingPrompts prompts;
    std::shared_ptr<FakeLine> line;
    CMainFrame frame{{settings, clock, ports, notifier, prompts}};
};

TEST_F(BusyCursorTest, ConnectionDialogShowsTheBusyCursorWhileTheScanRunsAndNoLonger) {
    frame.StartScan();
    CConnectDialog dialog(frame, ports);
    EXPECT_EQ(ProgramShape(), Qt::BusyCursor);
    ASSERT_TRUE(Until([&] { return !frame.Link().Scanning(); }));
    dialog.OnTimer();
    EXPECT_EQ(dialog.findChild<QComboBox*>(ControlName(kConnectProjectorList))->count(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
}

// The control panel's poll makes the link busy for a moment; once its answers are in, neither
// the panel nor the gamma editor under it keeps the busy cursor.
TEST_F(BusyCursorTest, ControlPanelPollOverTheGammaEditorEndsWithItsAnswers) {
    Connect();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    CGammaDialog editor(frame.Link(), settings, notifier, prompts);
    editor.show();
    ASSERT_TRUE(Until([&] { return !editor.Pending(); }, 0)) << "the editor's power query";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    CControlSheet& sheet = *frame.ControlSheet();
    sheet.show();
    CTabPage* page = sheet.ActivePage();
    ASSERT_NE(page, nullptr);
    page->Timer().stop(); // its ticks are given here
    clock.Advance(static_cast<Tick>(frame.Link().Model().autoReceiveElapse)); // its interval
    page->OnTimer();
    ASSERT_TRUE(LinkWorks()) << "the panel did not poll";
    EXPECT_EQ(ProgramShape(), Qt::BusyCursor);
    editor.OnTimer(); // the editor's tick while the panel's poll runs
    EXPECT_EQ(editor.cursor().shape(), Qt::BusyCursor);

    // The whole cycle: the power answer, then the queries of the tab's controls. The clock
    // stands still, so that no second cycle follows.
    ASSERT_TRUE(Until(
        [&] {
            page->OnTimer();
            return page->refreshStamp != 0 && !LinkWorks();
        },
        0));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    page->OnTimer();
    editor.OnTimer();
    EXPECT_EQ(sheet.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(editor.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(notifier.recorder.messages.empty());
}

// A projector that stopped answering: its queue is dropped, and the message that says so is
// shown over an idle program.
TEST_F(BusyCursorTest, MessageOfADroppedQueueIsNotShownUnderTheBusyCursor) {
    Connect();
    ASSERT_TRUE(frame.Link().QueueCommand("MUTE????\r", 9, AnswerKind::Value, 0));
    EXPECT_EQ(ProgramShape(), Qt::BusyCursor);
    ASSERT_TRUE(Until([&] { return !notifier.recorder.messages.empty(); }, 500));
    EXPECT_EQ(notifier.recorder.messages, std::vector<int>{kMessageQueueDropped});
    EXPECT_EQ(notifier.shapesAtMessages, std::vector<Qt::CursorShape>{Qt::ArrowCursor});
}

} // namespace
} // namespace tonedesk::test
