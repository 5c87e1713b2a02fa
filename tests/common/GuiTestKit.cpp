#include "common/GuiTestKit.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

namespace tonedesk::test {

namespace {

struct RunFolders {
    TempDir config;
    TempDir runtime;
};

RunFolders& Folders() {
    static RunFolders folders;
    return folders;
}

} // namespace

QString ProgramDir() {
    const char* dir = std::getenv("TONEDESK_BIN_DIR");
    return QString::fromLocal8Bit(dir && *dir ? dir : TONEDESK_PROGRAM_DIR);
}

const ResourceBundle& ProgramBundle() {
    static ResourceBundle bundle(ProgramDir() + QStringLiteral("/lumidesk.rcc"));
    return bundle;
}

QString ConfigHome() {
    return QString::fromStdString(Folders().config.Path().string());
}
QString RuntimeDir() {
    return QString::fromStdString(Folders().runtime.Path().string());
}

std::optional<std::string> RecordingPrompts::ChooseFile(FileDialogMode mode,
                                                        const std::string& filterText,
                                                        const std::string& initialPath,
                                                        const QString& title, int* fileType) {
    asked.push_back({mode == FileDialogMode::Open, filterText, initialPath, title});
    int type = 1;
    if (!fileTypes.empty()) {
        type = fileTypes.front();
        fileTypes.pop_front();
    }
    if (fileType) {
        *fileType = type;
    }
    if (answers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> next = std::move(answers.front());
    answers.pop_front();
    return next;
}

bool RecordingPrompts::AskYesNo(const QString& text, const QString& caption) {
    questions.push_back({text, caption});
    if (replies.empty()) {
        return false;
    }
    const bool yes = replies.front();
    replies.pop_front();
    return yes;
}

void GuiTest::SetUp() {
    ASSERT_TRUE(ProgramBundle().IsLoaded())
        << "lumidesk.rcc not found in " << ProgramDir().toStdString();
    SetCurrentBundle(&ProgramBundle());
}

void GuiTest::TearDown() {
    SetCurrentBundle(&ProgramBundle());
}

void GuiTest::ShowReady(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

} // namespace tonedesk::test

int main(int argc, char** argv) {
    // Never a real display, never the user's profile or runtime folder.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    using tonedesk::test::ConfigHome;
    using tonedesk::test::RuntimeDir;
    ::chmod(RuntimeDir().toLocal8Bit().constData(), 0700);
    qputenv("XDG_CONFIG_HOME", ConfigHome().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", RuntimeDir().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vanto Tonedesk"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
