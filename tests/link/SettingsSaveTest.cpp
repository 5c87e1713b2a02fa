#include "link/SettingsSave.h"

#include "link/LinkFixture.h"
#include "link/SettingsFile.h"

#include <filesystem>
#include <sys/stat.h>

namespace tonedesk::test {
namespace {

// A link on COM1 whose model saves BRIT, CONT and HPOS, then VPOS and GAMA (BRIT is listed in
// both lists).
class SettingsSaveTest : public LinkFixture {
protected:
    void SetUp() override {
        Connect();
        ASSERT_EQ(link->Model().ParseModelText("[PROPERTY]\r\n"
                                               "PROJECTOR_NAME=DEMO\r\n"
                                               "[SAVE]\r\n"
                                               "COMMAND=BRIT,50,CONT,????,HPOS\r\n"
                                               "COMMAND2=VPOS BRIT GAMA\r\n",
                                               "DEMO-100"),
                  ModelLookup::Found);
        path = (temp.Path() / "lobby.txt").string();
    }

    // Service and Poll once a virtual millisecond while the save runs, for at most `ms`.
    SaveState RunSave(Tick ms = 5000) {
        SaveState state = save.Poll(*link, notifier);
        for (Tick t = 0; t < ms && state == SaveState::Running; ++t) {
            if (Step()) {
                save.Abandon(); // as the frame does at a dropped queue
                return SaveState::Abandoned;
            }
            state = save.Poll(*link, notifier);
        }
        return state;
    }

    void Answer(const char* code, const char* answer) {
        line->Reply(std::string(code) + "????\r", std::string(answer) + "\r");
    }

    // The names in the folder: no temporary file may stay behind.
    std::vector<std::string> FolderContent() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempDir temp;
    std::string path;
    CSettingsSave save;
};

TEST_F(SettingsSaveTest, WritesEveryCodeOnceWithItsAnsweredValue) {
    temp.Write("lobby.txt", "DEMO-100\r\nOLD!   1\r\n");
    Answer("BRIT", "50");
    Answer("CONT", "-10");
    Answer("HPOS", "-999");
    Answer("VPOS", "0");
    Answer("GAMA", "9999");

    ASSERT_TRUE(save.Start(*link, path, "DEMO-100"));
    EXPECT_EQ(QueuedBytes(), "BRIT????\rCONT????\rHPOS????\rVPOS????\rGAMA????\r");
    for (const QueuedCommand& command : port->commandQueue) {
        EXPECT_EQ(command.kind, AnswerKind::Value);
        EXPECT_EQ(command.pause, 0);
    }
    EXPECT_EQ(save.Poll(*link, notifier), SaveState::Running);
    EXPECT_EQ(TempDir::Read(path), "DEMO-100\r\nOLD!   1\r\n") << "untouched while asking";

    EXPECT_EQ(RunSave(), SaveState::Written);
    EXPECT_EQ(TempDir::Read(path), "DEMO-100\r\n"
                                   "BRIT  50\r\n"
                                   "CONT -10\r\n"
                                   "HPOS-999\r\n"
                                   "VPOS   0\r\n"
                                   "GAMA9999\r\n");
    EXPECT_EQ(FolderContent(), std::vector<std::string>{"lobby.txt"});
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_TRUE(notifier.fileErrors.empty());
    EXPECT_FALSE(save.Running());
    EXPECT_EQ(save.Poll(*link, notifier), SaveState::Idle);

    // What was written loads as the same commands for this projector.
    const SettingsFileContent loaded = ParseSettingsFile(TempDir::Read(path), "DEMO-100");
    EXPECT_TRUE(loaded.forThisProjector);
    EXPECT_EQ(loaded.commands, (std::vector<std::string>{"BRIT  50\r", "CONT -10\r", "HPOS-999\r",
                                                         "VPOS   0\r", "GAMA9999\r"}));
}

TEST_F(SettingsSaveTest, CodesWithoutAValueAreLeftOutAndNamed) {
    Answer("BRIT", "50");
    Answer("CONT", "ERR"); // rejected RETRY times
    Answer("HPOS", "OK");  // confirmed, but no value
    Answer("VPOS", "12345");
    Answer("GAMA", "-3");
    ASSERT_TRUE(save.Start(*link, path, "DEMO-100"));

    EXPECT_EQ(RunSave(), SaveState::Written);
    EXPECT_EQ(TempDir::Read(path), "DEMO-100\r\nBRIT  50\r\nGAMA  -3\r\n");
    EXPECT_EQ(notifier.messages, std::vector<int>{kMessageSavedWithout});
    EXPECT_EQ(notifier.arguments, std::vector<std::string>{"CONT, HPOS, VPOS"});
    EXPECT_EQ(Count(line->WrittenText(), "CONT????\r"), 3);
}

TEST_F(SettingsSaveTest, EndsWithoutAFileWhenTheQueriesAreLost) {
    // The projector stops answering after BRIT: the queue is dropped.
    Answer("BRIT", "50");
    ASSERT_TRUE(save.Start(*link, path, "DEMO-100"));
    EXPECT_EQ(RunSave(60000), SaveState::Abandoned);
    EXPECT_TRUE(FolderContent().empty());
    EXPECT_EQ(save.Poll(*link, notifier), SaveState::Idle);

    // A queue dropped by other means (the port closed) is seen by Poll alone.
    ASSERT_TRUE(save.Start(*link, path, "DEMO-100"));
    link->CloseOtherPorts(-1);
    EXPECT_EQ(save.Poll(*link, notifier), SaveState::Abandoned);
    EXPECT_TRUE(FolderContent().empty());
    EXPECT_FALSE(save.Start(*link, path, "DEMO-100")) << "no open port";
}

TEST_F(SettingsSaveTest, WriteFailureIsAFileErrorAndNoFile) {
    for (const char* code : {"BRIT", "CONT", "HPOS", "VPOS", "GAMA"}) {
        Answer(code, "1");
    }
    const std::string missing = (temp.Path() / "gone" / "lobby.txt").string();
    ASSERT_TRUE(save.Start(*link, missing, "DEMO-100"));

    EXPECT_EQ(RunSave(), SaveState::Failed);
    ASSERT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.fileErrors[0].fileName, missing);
    EXPECT_EQ(notifier.fileErrors[0].reason, "No such file or directory");
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_TRUE(FolderContent().empty());
}

TEST_F(SettingsSaveTest, SaveOntoAPipeIsRefusedAndLeavesThePipe) {
    for (const char* code : {"BRIT", "CONT", "HPOS", "VPOS", "GAMA"}) {
        Answer(code, "1");
    }
    const std::string pipe = (temp.Path() / "pipe.txt").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_TRUE(save.Start(*link, pipe, "DEMO-100"));

    EXPECT_EQ(RunSave(), SaveState::Failed);
    ASSERT_EQ(notifier.fileErrors.size(), 1u);
    EXPECT_EQ(notifier.fileErrors[0].reason, "not a regular file");
    EXPECT_EQ(FolderContent(), std::vector<std::string>{"pipe.txt"});
}

TEST(SettingsFileFormat, NameLineThenOneSetCommandPerLine) {
    EXPECT_EQ(FormatSettingsFile("PJ-7", {}), "PJ-7\r\n");
    EXPECT_EQ(FormatSettingsFile("PJ-7", {{"MUTE", 1}, {"KEYS", kNoValue}, {"BRIT", -1000}}),
              "PJ-7\r\nMUTE   1\r\n")
        << "values a line cannot hold are not written";
}

} // namespace
} // namespace tonedesk::test
