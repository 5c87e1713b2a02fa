#include "app/StartSequence.h"
#include "app/ConnectDialog.h"
#include "app/ConnectTestKit.h"
#include "gamma/GammaTransfer.h"
#include "link/GammaQueue.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

namespace tonedesk::test {
namespace {

// The sequence on a frame whose scan runs from its own timer, as after start-up; the test acts
// in the connection dialog once it shows `entries` projectors. The drain's pauses move the
// virtual clock.
class StartSequenceTest : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        Projector(2, "ALPHA-2");
        Projector(7, "BETA-7");
        Model("ALPHA-2");
        Model("BETA-7");
        QObject::connect(&sequence, &CStartSequence::GammaEditorRequested, [this] {
            ++editorRuns;
            if (editor) {
                editor();
            }
        });
    }

    // Runs the sequence; `act` is called in the modal connection dialog once it lists
    // `entries` projectors.
    void Run(int entries, const std::function<void(CConnectDialog&)>& act) {
        QTimer watch;
        bool acted = false;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CConnectDialog*>(QApplication::activeModalWidget());
            auto* list = dialog ? dialog->findChild<QComboBox*>(ControlName(1000)) : nullptr;
            if (!acted && list && list->count() >= entries) {
                acted = true;
                act(*dialog);
            }
        });
        watch.start(5);
        frame.StartScan();
        sequence.Run();
        EXPECT_TRUE(acted);
    }
    // OK on the projector of this COM number.
    static std::function<void(CConnectDialog&)> Choose(int com) {
        return [com](CConnectDialog& dialog) {
            auto* list = dialog.findChild<QComboBox*>(ControlName(kConnectProjectorList));
            list->setCurrentIndex(
                list->findText(QStringLiteral("COM%1 /").arg(com), Qt::MatchStartsWith));
            dialog.accept();
        };
    }

    Tick paused = 0;
    CStartSequence sequence{frame, ports, [this](Tick ms) {
                                paused += ms;
                                clock.Advance(ms);
                            }};
    QSignalSpy closed{&frame, &CMainFrame::Closed};
    int editorRuns = 0;
    std::function<void()> editor;
};

TEST_F(StartSequenceTest, CancelEndsTheProgram) {
    Run(2, [](CConnectDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(editorRuns, 0);
    EXPECT_EQ(frame.projectorName, "");
}

TEST_F(StartSequenceTest, NoPortAtAllStillShowsTheDialog) {
    ports.Line(2)->refuseOpen = true;
    ports.Line(7)->refuseOpen = true;
    Run(0, [](CConnectDialog& dialog) {
        EXPECT_FALSE(dialog.findChild<QWidget*>(ControlName(1))->isEnabled());
        dialog.reject();
    });
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(StartSequenceTest, ModelFileThatCannotBeReadEndsTheProgramAfterTheMessage) {
    Run(2, [this](CConnectDialog& dialog) {
        std::filesystem::remove(models / "BETA-7.ini");
        Choose(7)(dialog);
    });
    EXPECT_EQ(prompts.shown, std::vector<QString>{"Failed to ReadModelFile\n"});
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(editorRuns, 0);
}

// The chosen port is reopened outside the scan with the others closed; a gamma transfer the
// editor leaves queued is written, with its pauses, before the frame closes.
TEST_F(StartSequenceTest, ChosenPortIsConnectedAndATransferLeftQueuedIsWrittenBeforeTheEnd) {
    const auto chosen = ports.Line(7);
    GammaTable table;
    table.levels[0].fill(512);
    std::string expected;
    editor = [&] {
        CProjectorLink& link = frame.Link();
        ASSERT_NE(link.CurrentPort(), nullptr);
        EXPECT_EQ(link.CurrentPort()->ComNumber(), 7);
        EXPECT_EQ(link.CurrentPort()->probing, 0);
        EXPECT_EQ(link.CurrentPort()->answerTimeout, link.Configuration().recTimeoutOff);
        EXPECT_FALSE(link.Scanning());
        EXPECT_FALSE(ports.Line(2)->open);
        EXPECT_EQ(frame.projectorName, "BETA-7");
        chosen->ClearWritten();
        for (const ByteBuffer& entry : GammaTransferEntries(0, table, 0)) {
            const std::string bytes(entry.begin(), entry.end());
            chosen->Reply(bytes, "OK\r", 0, 1);
            expected += bytes;
        }
        ASSERT_TRUE(QueueGammaTables(link, 0, table, 0));
    };
    Run(2, Choose(7));
    EXPECT_EQ(editorRuns, 1);
    EXPECT_EQ(chosen->WrittenText(), expected);
    EXPECT_FALSE(frame.Link().IsBusy());
    EXPECT_EQ(closed.count(), 1);
    // Four entries, each not sooner than 50 ms after the previous answer: the drain waited
    // rather than spun, and not for the link's time-outs.
    EXPECT_GE(paused, 3 * kPauseMs);
    EXPECT_LT(paused, 1000u);
    EXPECT_TRUE(notifier.recorder.messages.empty());
}

} // namespace
} // namespace tonedesk::test
