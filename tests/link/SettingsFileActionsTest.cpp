#include "link/SettingsFileActions.h"

#include "link/LinkFixture.h"

#include <deque>
#include <filesystem>
#include <optional>

#include <sys/stat.h>

namespace tonedesk::test {
namespace {

// A link on COM1 and a user who picks the scripted answers one after the other, then cancels.
class SettingsFileActionsTest : public LinkFixture {
protected:
    void SetUp() override { Connect(); }

    void Open(std::string_view projectorName = "DEMO-100") {
        OpenSettingsFile(*link, settings, notifier, projectorName,
                         [this](const std::string& initialPath) -> std::optional<std::string> {
                             initialPaths.push_back(initialPath);
                             if (answers.empty()) {
                                 return std::nullopt;
                             }
                             std::optional<std::string> next = answers.front();
                             answers.pop_front();
                             return next;
                         });
    }

    std::string Folder(const std::string& name) const { return temp.Path().string() + name; }

    TempDir temp;
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> initialPaths;
};

TEST_F(SettingsFileActionsTest, CommandsOfTheFileGoToTheProjectorInFileOrder) {
    answers = {temp.Write("lobby.txt", "DEMO\r\nBRIT  12\r\nCONT\r\nCONT -10 x\r\nMOUT   1\r\n")};
    Open();

    EXPECT_EQ(TextOfQueue(*port), "BRIT  12\rCONT -10\rMOUT   1\r");
    for (const QueuedCommand& command : port->commandQueue) {
        EXPECT_EQ(command.kind, AnswerKind::Plain);
        EXPECT_EQ(command.pause, 0);
    }
    EXPECT_EQ(notifier.messages, std::vector<int>{kMessageShortSettingsLines});
    EXPECT_EQ(notifier.arguments, std::vector<std::string>{"1"});
    EXPECT_TRUE(notifier.fileErrors.empty());
    EXPECT_EQ(initialPaths, std::vector<std::string>{""});
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), Folder("/"));

    for (const char* command : {"BRIT  12\r", "CONT -10\r", "MOUT   1\r"}) {
        line->Reply(command, "OK\r");
    }
    EXPECT_FALSE(RunFor(100));
    EXPECT_EQ(line->WrittenText(), "BRIT  12\rCONT -10\rMOUT   1\r");
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(SettingsFileActionsTest, RefusedFilesAskAgainInTheirFolder) {
    std::filesystem::create_directories(Folder("/b/folder.txt"));
    std::filesystem::create_directories(Folder("/d"));
    ASSERT_EQ(mkfifo(Folder("/d/pipe.txt").c_str(), 0600), 0);
    answers = {Folder("/a/missing.txt"), Folder("/b/folder.txt"), Folder("/d/pipe.txt"),
               temp.Write("c/other.txt", "PJ-7\r\nBRIT  12\r\n").string()};
    Open();

    EXPECT_TRUE(port->commandQueue.empty());
    ASSERT_EQ(notifier.fileErrors.size(), 3u);
    EXPECT_EQ(notifier.fileErrors[0].fileName, Folder("/a/missing.txt"));
    EXPECT_EQ(notifier.fileErrors[0].reason, "No such file or directory");
    EXPECT_EQ(notifier.fileErrors[1].fileName, Folder("/b/folder.txt"));
    EXPECT_EQ(notifier.fileErrors[2].reason, "not a regular file") << "a pipe is never waited on";
    EXPECT_EQ(notifier.messages, std::vector<int>{kMessageOtherProjector});
    EXPECT_EQ(initialPaths, (std::vector<std::string>{"", Folder("/a/"), Folder("/b/"),
                                                      Folder("/d/"), Folder("/c/")}));
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), Folder("/c/"));
}

TEST_F(SettingsFileActionsTest, CancellingChangesNothing) {
    settings.WriteText(kEnvSection, "OUTPUTPATH", "/data/");
    Open();
    EXPECT_EQ(initialPaths, std::vector<std::string>{"/data/"});
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), "/data/");
    EXPECT_TRUE(port->commandQueue.empty());
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_TRUE(notifier.fileErrors.empty());
}

TEST_F(SettingsFileActionsTest, SaveRewindsBothSaveListsAndRemembersTheFolder) {
    CModelFile& model = link->Model();
    model.saveCommands.items.resize(3);
    model.saveCommands.readPosition = 3;
    model.saveCommands2.items.resize(2);
    model.saveCommands2.readPosition = 1;

    PrepareSettingsSave(*link, settings, "/data/out/lobby.txt");
    EXPECT_EQ(model.saveCommands.readPosition, 0u);
    EXPECT_EQ(model.saveCommands2.readPosition, 0u);
    EXPECT_EQ(model.saveCommands.items.size(), 3u);
    EXPECT_EQ(EnvText(settings, "OUTPUTPATH"), "/data/out/");
    EXPECT_TRUE(port->commandQueue.empty());
}

} // namespace
} // namespace tonedesk::test
