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

    QString Program() const { return ProgramDir() + QStringLiteral("/tonedesk"); }
    QString LockPath() const { return runtimeDir + QStringLiteral("/Vanto Tonedesk.lock"); }

    QString configHome;
    QString runtimeDir;
};

TEST_F(ProgramTest, StartsWithoutAnyPortReachesItsFirstIdleMomentAndEnds) {
    const Run run = Start(Program());
    ASSERT_TRUE(run.finished) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("first idle moment")))
        << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("with 0 ports"))) << run.errors.toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral("not loaded"))) << run.errors.toStdString();
    // Nothing is left behind: the instance lock is gone, so a new copy starts normally.
    EXPECT_FALSE(QFile::exists(LockPath()));
    const Run again = Start(Program());
    EXPECT_TRUE(again.finished);
    EXPECT_TRUE(again.errors.contains(QStringLiteral("first idle moment")));
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
    first.setProcessEnvironment(ProgramEnvironment());
    first.start(Program(), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    const Run second = Start(Program());
    ASSERT_TRUE(first.waitForFinished(20000));
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitCode, 0);
    // At least one reached the sequence; a copy that found the other running said nothing.
    const QString firstErrors = QString::fromLocal8Bit(first.readAllStandardError());
    EXPECT_TRUE(firstErrors.contains(QStringLiteral("first idle moment")) ||
                second.errors.contains(QStringLiteral("first idle moment")));
    for (const QString& errors : {firstErrors, second.errors}) {
        EXPECT_TRUE(errors.isEmpty() || errors.contains(QStringLiteral("first idle moment")))
            << errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(LockPath()));
}

TEST_F(ProgramTest, WithoutItsBundleTheProgramCarriesOnWithItsOwnResources) {
    const std::string alone = temp.Path().string() + "/alone";
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(Program().toStdString(), alone + "/tonedesk");
    const Run run = Start(QString::fromStdString(alone + "/tonedesk"));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("not loaded"))) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("first idle moment")))
        << run.errors.toStdString();
}

TEST_F(ProgramTest, PipeInPlaceOfItsBundleIsRefusedAndTheProgramCarriesOn) {
    const std::string alone = temp.Path().string() + "/alone";
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(Program().toStdString(), alone + "/tonedesk");
    ASSERT_EQ(::mkfifo((alone + "/lumidesk.rcc").c_str(), 0600), 0);
    const Run run = Start(QString::fromStdString(alone + "/tonedesk"));
    ASSERT_TRUE(run.finished) << "waited on the pipe";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("not loaded"))) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("first idle moment")))
        << run.errors.toStdString();
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
