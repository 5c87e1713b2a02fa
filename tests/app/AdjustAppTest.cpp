#include "common/GuiTestKit.h"

#include "app/AboutDialog.h"
#include "app/AdjustApp.h"
#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "common/FakeSerialPort.h"
#include "support/Settings.h"
#include "support/qt/QtSettingsStore.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/panel/ControlSheet.h"
#include "ui/panel/TabPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>

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

// Command 20000 of the frame, with the projector on, runs the gamma editor modally through the
// application: the command returns once the editor has closed.
TEST_F(AdjustAppTest, FramesGammaCommandRunsTheGammaEditorModally) {
    CAdjustApp app({settings, clock, ports, notifier, prompts});
    ASSERT_TRUE(app.InitInstance());
    app.Frame()->Link().Status().FindOrAdd(CodeKey("POWR")).value = 1;

    int editors = 0;
    int others = 0;
    bool modal = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        if (!shown) {
            return;
        }
        if (auto* editor = qobject_cast<CGammaDialog*>(shown)) {
            ++editors;
            modal = editor->isModal() && editor->isVisible();
            editor->OnCommand(kGammaClose);
        } else {
            ++others;
            shown->close();
        }
    });
    user.start(5);
    EXPECT_TRUE(app.Frame()->OnCommand(kCommandGammaDialog));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    user.stop();
    EXPECT_EQ(editors, 1);
    EXPECT_EQ(others, 0);
    EXPECT_TRUE(modal);
}

// The gamma editor's control panel button shows the panel over the editor; the panel's own
// gamma button leads back to that editor (closing the panel) instead of stacking a second one.
TEST_F(AdjustAppTest, ControlPanelOpensFromTheGammaEditorAndLeadsBackToIt) {
    CAdjustApp app({settings, clock, ports, notifier, prompts});
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.Frame();
    ASSERT_EQ(frame.LoadModel("DEMO-100"), ModelLookup::Found);
    frame.Link().Status().FindOrAdd(CodeKey("POWR")).value = 1;
    CControlSheet* sheet = frame.ControlSheet();

    int panelsShown = 0;
    int editorsAtOnce = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        int editors = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            editors += qobject_cast<CGammaDialog*>(window) && window->isVisible() ? 1 : 0;
        }
        editorsAtOnce = std::max(editorsAtOnce, editors);
        QWidget* shown = QApplication::activeModalWidget();
        if (auto* editor = qobject_cast<CGammaDialog*>(shown)) {
            auto* panel = qobject_cast<QAbstractButton*>(editor->Control(kGammaControlPanel));
            if (panelsShown == 0 && panel && panel->isEnabled()) {
                // Queued: the panel runs modally, and this timer must tick on meanwhile.
                QMetaObject::invokeMethod(panel, &QAbstractButton::click, Qt::QueuedConnection);
            } else if (panelsShown > 0) {
                editor->OnCommand(kGammaClose);
            }
        } else if (shown == sheet) {
            ++panelsShown;
            sheet->Tabs()->setCurrentIndex(2); // the Service tab holds the gamma button
            auto* gamma = FindControl<QAbstractButton>(sheet, kCommandGammaDialog);
            if (gamma && gamma->isEnabled() && panelsShown < 3) {
                gamma->click();
            } else {
                sheet->reject(); // the test fails rather than waits
            }
        } else if (shown) {
            shown->close();
        }
    });
    user.start(5);
    EXPECT_TRUE(frame.OnCommand(kCommandGammaDialog));
    user.stop();
    EXPECT_EQ(panelsShown, 1);
    EXPECT_EQ(editorsAtOnce, 1);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(app.GammaDialog(), nullptr);
}

// The user's profile in the test run's configuration folder that no store can read: the
// program tells the user which file it is and ends before any port is probed, even though the
// defaults would probe every default port.
TEST_F(AdjustAppTest, ProfileThatCannotBeReadIsNamedAndNoPortIsProbed) {
    const std::filesystem::path folder = ConfigHome().toStdString() + "/VANTO";
    const std::filesystem::path file = folder / "Vanto Tonedesk.conf";
    const auto write = [&](const std::string& text) {
        std::filesystem::create_directories(folder);
        temp.Write("profile", text);
        std::filesystem::copy_file(temp.Path() / "profile", file,
                                   std::filesystem::copy_options::overwrite_existing);
    };
    const struct {
        const char* name;
        std::function<void()> make;
        const char* reason; // a part of the reason shown
    } cases[] = {
        {"a folder", [&] { std::filesystem::create_directories(file); }, "directory"},
        {"garbage", [&] { write(std::string("\x01[\xfe\0\n", 5) + "[PORTS]\nSYSTEM=0\n"); }, "INI"},
        // Read as the default, it would turn the default ports on.
        {"SYSTEM=no", [&] { write("[PORTS]\nSYSTEM=no\n"); }, "SYSTEM in [PORTS] is 'no'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        c.make();
        QtSettingsStore profile;
        RecordingNotifier told;
        CAdjustApp app({profile, clock, ports, told, prompts});
        EXPECT_FALSE(app.InitInstance());
        EXPECT_TRUE(app.StartFailed());
        EXPECT_EQ(app.Frame(), nullptr);
        EXPECT_TRUE(ports.openAttempts.empty());
        ASSERT_EQ(told.fileErrors.size(), 1u);
        EXPECT_EQ(told.fileErrors[0].fileName, file.string());
        EXPECT_NE(told.fileErrors[0].reason.find(c.reason), std::string::npos)
            << told.fileErrors[0].reason;
    }
    std::filesystem::remove_all(folder);
}

// Every window of the program is built from the resource bundle: without a usable one the
// program tells the user why, in a text of its own (the bundle's strings are missing too), and
// ends before it probes any port.
TEST_F(AdjustAppTest, BundleThatCannotBeUsedIsNamedWithItsReasonAndEndsTheStart) {
    struct Row {
        const char* what;
        std::string file;
        const char* reason;
    };
    const std::string folder = temp.Path().string();
    std::filesystem::create_directories(folder + "/folder.rcc");
    WriteFile("garbage.rcc", "qres but not really\n");
    const Row rows[] = {
        {"missing", folder + "/missing.rcc", "No such file or directory"},
        {"a folder", folder + "/folder.rcc", "Is a directory"},
        {"garbage", folder + "/garbage.rcc", "not a valid resource bundle"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RecordingPrompts told;
        CAdjustApp app({settings, clock, ports, notifier, told});
        app.SetBundleFile(QString::fromStdString(row.file));
        EXPECT_FALSE(app.InitInstance());
        EXPECT_TRUE(app.StartFailed());
        EXPECT_EQ(app.Frame(), nullptr);
        EXPECT_TRUE(ports.openAttempts.empty());
        ASSERT_EQ(told.shown.size(), 1u);
        const QString text = told.shown.front();
        EXPECT_TRUE(text.contains(QStringLiteral("cannot start"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromStdString(row.file))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(row.reason))) << text.toStdString();
    }
}

// Presses a key or a button of `window` and gives the version line of the about box that came up
// over it (closing the box); empty when none came up.
QString AboutVersion(QWidget& window, const std::function<void()>& press) {
    QString version;
    QWidget* over = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto* about = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget())) {
            auto* line = about->findChild<QLabel*>(ControlName(1201));
            version = line ? line->text() : QStringLiteral("no version line");
            over = about->parentWidget();
            about->reject();
        }
    });
    press();
    QCoreApplication::processEvents();
    EXPECT_EQ(over, &window);
    return version;
}

// The about command: F1 in the connection dialog, the control panel and the gamma editor, and
// the editor's About button, each show the about box with the project's version.
TEST_F(AdjustAppTest, AboutBoxComesWithF1InEveryWindowAndFromTheEditorsButton) {
    CAdjustApp app({settings, clock, ports, notifier, prompts});
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.Frame();
    ASSERT_EQ(frame.LoadModel("DEMO-100"), ModelLookup::Found);
    frame.Link().Status().FindOrAdd(CodeKey("POWR")).value = 1;
    std::map<std::string, QString> versions;
    const auto f1 = [](QWidget* target) {
        return [target] { QTest::keyClick(target, Qt::Key_F1); };
    };

    {
        CConnectDialog dialog(frame, ports);
        dialog.show();
        versions["connection dialog"] = AboutVersion(dialog, f1(&dialog));
    }
    CControlSheet* sheet = frame.ControlSheet();
    sheet->show();
    versions["control panel"] = AboutVersion(*sheet, f1(sheet->ActivePage()));
    sheet->hide();

    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* editor = qobject_cast<CGammaDialog*>(QApplication::activeModalWidget());
        if (!editor || !editor->isEnabled()) {
            return;
        }
        user.stop();
        versions["gamma editor"] = AboutVersion(*editor, f1(editor->Control(kGammaBank)));
        auto* button = qobject_cast<QAbstractButton*>(editor->Control(kCommandAbout));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisibleTo(editor));
        versions["gamma editor's button"] = AboutVersion(*editor, [button] { button->click(); });
        editor->OnCommand(kGammaClose);
    });
    user.start(5);
    app.RunGammaDialog();
    user.stop();

    const QString expected = QStringLiteral("Version " TONEDESK_PROJECT_VERSION);
    for (const char* where :
         {"connection dialog", "control panel", "gamma editor", "gamma editor's button"}) {
        EXPECT_EQ(versions[where], expected) << where;
    }
}

} // namespace
} // namespace tonedesk::test
