#include "common/GuiTestKit.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <sys/stat.h>

namespace tonedesk::test {
namespace {

// Runs the real program offscreen with a profile of its own in which no serial port exists.
class ProgramTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        configHome = QString::fromStdString(temp.Path().string() + "/config");
        runtimeDir = QString::fromStdString(temp.Path().string() + "/runtime");
        WriteFile("config/VANTO/Vanto Tonedesk.conf", "[PORTS]\nSYSTEM=0\n");
        std::filesystem::create_directories(runtimeDir.toStdString());
        std::filesystem::permissions(runtimeDir.toStdString(), std::filesystem::perms::owner_all);
    }

    // The program's environment: offscreen, this test's profile and runtime folders, and the
    // start-up log on.
    QProcessEnvironment ProgramEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tonedesk.app.info=true"));
        return env;
    }

    struct Run {
        bool finished = false;
        int exitCode = -1;
        QString errors;
    };

    Run Start(const QString& program) {
        QProcess process;
        process.setProcessEnvironment(ProgramEnvironment());
        process.start(program, {});
        Run run;
        if (!process.waitForStarted(10000)) {
            return run;
        }
        run.finished = process.waitForFinished(20000);
        if (!run.finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        run.exitCode = process.exitCode();
        run.errors = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    // Starts the program, which is expected to reach its connection dialog and stay there.
    void StartShowing(QProcess& process, const QString& program) const {
        process.setProcessEnvironment(ProgramEnvironment());
        process.start(program, {});
    }
    // What the program logged until it showed its connection dialog (or ended, or 20 s passed).
    static QString UntilDialogShown(QProcess& process) {
        QString errors;
        const QDeadlineTimer deadline(20000);
        while (!errors.contains(QStringLiteral("connection dialog shown")) &&
               !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            errors += QString::fromLocal8Bit(process.readAllStandardError());
        }
        return errors;
    }
    // Ends a program that waits in its dialog, as the session's end does.
    static void Terminate(QProcess& process) {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QString Program() const { return ProgramDir() + QStringLiteral("/tonedesk"); }
    QString LockPath() const { return runtimeDir + QStringLiteral("/Vanto Tonedesk.lock"); }

    QString configHome;
    QString runtimeDir;
};

// Without any port the connection dialog is still shown (with an empty list), and the program
// waits in it for the user.
TEST_F(ProgramTest, StartsWithoutAnyPortReachesItsFirstIdleMomentAndEnds) {
    QProcess process;
    StartShowing(process, Program());
    ASSERT_TRUE(process.waitForStarted(10000));
    const QString errors = UntilDialogShown(process);
    EXPECT_TRUE(errors.contains(QStringLiteral("first idle moment"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("with 0 ports"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("connection dialog shown"))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("not loaded"))) << errors.toStdString();
    EXPECT_EQ(process.state(), QProcess::Running);
    Terminate(process);
    // A copy that did not end normally does not keep a new one from starting.
    QProcess again;
    StartShowing(again, Program());
    ASSERT_TRUE(again.waitForStarted(10000));
    EXPECT_TRUE(UntilDialogShown(again).contains(QStringLiteral("first idle moment")));
    Terminate(again);
}

TEST_F(ProgramTest, SecondCopyEndsAtOnceAndSilently) {
    // A running copy holds the instance lock.
    QLockFile running(LockPath());
    ASSERT_TRUE(running.tryLock(0));
    const Run run = Start(Program());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, QString());
    EXPECT_TRUE(QFile::exists(LockPath()));
    running.unlock();
}

TEST_F(ProgramTest, TwoCopiesStartedTogetherBothEndCleanly) {
    QProcess first;
    QProcess second;
    StartShowing(first, Program());
    StartShowing(second, Program());
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(second.waitForStarted(10000));
    // One of them finds the other running and ends at once, silently; the other shows its
    // dialog.
    const QDeadlineTimer deadline(20000);
    while (first.state() == QProcess::Running && second.state() == QProcess::Running &&
           !deadline.hasExpired()) {
        first.waitForFinished(50);
        second.waitForFinished(50);
    }
    const bool firstEnded = first.state() == QProcess::NotRunning;
    QProcess& ended = firstEnded ? first : second;
    QProcess& running = firstEnded ? second : first;
    ASSERT_EQ(ended.state(), QProcess::NotRunning) << "neither copy ended";
    EXPECT_EQ(ended.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(ended.readAllStandardError()), QString());
    const QString errors = UntilDialogShown(running);
    EXPECT_TRUE(errors.contains(QStringLiteral("first idle moment"))) << errors.toStdString();
    EXPECT_EQ(running.state(), QProcess::Running);
    Terminate(running);
}

// Without its bundle the program has no window to show: it says why and ends with 1, leaving
// nothing behind. Offscreen, where nobody could close a message box, its text goes to the error
// output as well.
TEST_F(ProgramTest, WithoutItsBundleTheProgramSaysWhyAndEndsWithOne) {
    const std::string alone = temp.Path().string() + "/alone";
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(Program().toStdString(), alone + "/tonedesk");
    const Run run = Start(QString::fromStdString(alone + "/tonedesk"));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    const QString bundle = QString::fromStdString(alone + "/lumidesk.rcc");
    EXPECT_TRUE(run.errors.contains(bundle + QStringLiteral(" cannot be used: No such file")))
        << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("Vanto Tonedesk cannot start")))
        << run.errors.toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral("first idle moment")))
        << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(LockPath()));
}

TEST_F(ProgramTest, PipeInPlaceOfItsBundleIsRefusedAndNamed) {
    const std::string alone = temp.Path().string() + "/alone";
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(Program().toStdString(), alone + "/tonedesk");
    ASSERT_EQ(::mkfifo((alone + "/lumidesk.rcc").c_str(), 0600), 0);
    const Run run = Start(QString::fromStdString(alone + "/tonedesk"));
    ASSERT_TRUE(run.finished) << "waited on the pipe";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("cannot be used: not a regular file")))
        << run.errors.toStdString();
}

// Each program names itself and the project's version, and tonedesk gives its help and refuses a
// bad command line, all without a display.
TEST_F(ProgramTest, EveryProgramPrintsItsNameAndTheProjectsVersion) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QLatin1String(variable));
    }
    const QString version = QStringLiteral(" " TONEDESK_PROJECT_VERSION "\n");
    const struct {
        const char* program;
        QString argument;
        int exitCode;
        QString output; // stdout (exit 0) or stderr; its start only when `whole` is false
        bool whole;
    } cases[] = {
        {"tonedesk", QStringLiteral("--version"), 0, "tonedesk" + version, true},
        {"tonedesk-cli", QStringLiteral("--version"), 0, "tonedesk-cli" + version, true},
        {"projector-sim", QStringLiteral("--version"), 0, "projector-sim" + version, true},
        {"tonedesk", QStringLiteral("--help"), 0, "Usage: tonedesk [OPTION]...", false},
        {"tonedesk", QStringLiteral("--bogus"), 2, "tonedesk: unknown option --bogus\n", false},
        {"tonedesk", QStringLiteral("--log"), 2, "tonedesk: missing value after '--log'\n", false},
        {"tonedesk", QStringLiteral("extra"), 2, "tonedesk: unexpected argument 'extra'\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.argument.toStdString());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(ProgramDir() + u'/' + QLatin1String(c.program), {c.argument});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.exitCode);
        const QString output = QString::fromLocal8Bit(
            c.exitCode == 0 ? process.readAllStandardOutput() : process.readAllStandardError());
        if (c.whole) {
            EXPECT_EQ(output, c.output);
        } else {
            EXPECT_TRUE(output.startsWith(c.output)) << output.toStdString();
        }
    }
}

// A pipe in the profile's place is not opened: the program names it to the user (a message box
// that the test does not close) and starts no scan.
TEST_F(ProgramTest, PipeInPlaceOfItsProfileIsNamedInsteadOfWaitedOn) {
    const std::string file = configHome.toStdString() + "/VANTO/Vanto Tonedesk.conf";
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    QProcess process;
    process.setProcessEnvironment(ProgramEnvironment());
    process.start(Program(), {});
    ASSERT_TRUE(process.waitForStarted(10000));
    QString errors;
    const QDeadlineTimer deadline(20000);
    while (!errors.contains(QStringLiteral("profile cannot be used")) && !deadline.hasExpired() &&
           process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        errors += QString::fromLocal8Bit(process.readAllStandardError());
    }
    process.kill();
    process.waitForFinished(5000);
    EXPECT_TRUE(errors.contains(QString::fromStdString(file))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("first idle moment"))) << errors.toStdString();
}

} // namespace
} // namespace tonedesk::test
