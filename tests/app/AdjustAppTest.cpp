#include "common/GuiTestKit.h"

#include "app/AdjustApp.h"
#include "app/MainFrame.h"
#include "common/FakeSerialPort.h"
#include "support/Settings.h"

#include <QSignalSpy>
#include <QTest>

namespace tonedesk::test {
namespace {

// The application on services of the test's own: a scripted COM5 and nothing else.
class AdjustAppTest : public GuiTest {
protected:
    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    RecordingNotifier notifier;
    RecordingPrompts prompts;
};

TEST_F(AdjustAppTest, FirstIdleMomentIsAnnouncedOnceAndTheFrameWorksOnTheHandedDownServices) {
    ports.AddLine(5);
    CAdjustApp app({settings, clock, ports, notifier, prompts});
    ASSERT_TRUE(app.InitInstance());
    QSignalSpy firstIdle(&app, &CAdjustApp::FirstIdle);
    QSignalSpy closed(app.Frame(), &CMainFrame::Closed);

    // The scan of COM5 still runs: the first idle moment waits until the clock moves on.
    QTest::qWait(20);
    EXPECT_EQ(firstIdle.count(), 0);
    clock.Advance(1);
    ASSERT_TRUE(firstIdle.wait(5000));
    QTest::qWait(20);
    EXPECT_EQ(firstIdle.count(), 1);

    EXPECT_FALSE(ports.openAttempts.empty());
    ASSERT_EQ(app.Frame()->Link().Ports().size(), 1u);
    EXPECT_EQ(&app.Frame()->Profile(), &settings);
    EXPECT_EQ(&app.Frame()->Prompts(), &prompts);
    // Ending the program is the start-to-exit sequence's choice, not the application's.
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(app.Frame()->ServiceTimer().isActive());
}

} // namespace
} // namespace tonedesk::test
