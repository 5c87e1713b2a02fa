// A settings file saved from a simulated projector and loaded into it again, through the link
// and the POSIX serial port.

#include "common/SimulatorLink.h"
#include "common/TestKit.h"
#include "link/SettingsFileActions.h"
#include "link/SettingsSave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kLimit = 20s;
const std::vector<std::string> kCodes{"BRIT", "CONT", "HPOS", "GAMA"};

// The commands projector-sim received, in order, from its --verbose log.
std::vector<std::string> Received(const std::filesystem::path& log) {
    std::istringstream lines(TempDir::Read(log));
    std::vector<std::string> commands;
    const std::string mark = "projector-sim: << ";
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(mark)) {
            commands.push_back(line.substr(mark.size()));
        }
    }
    return commands;
}

class SettingsRoundTrip : public testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<SimulatorLink>(
            std::vector<std::string>{"--verbose", "--value", "BRIT=50", "--value", "CONT=-10",
                                     "--value", "HPOS=-999", "--value", "GAMA=9999"},
            38400, log.string());
        ASSERT_EQ(sim->Error(), "");
        ASSERT_EQ(Link().Model().ParseModelText("[PROPERTY]\r\n"
                                                "PROJECTOR_NAME=DEMO\r\n"
                                                "[SAVE]\r\n"
                                                "COMMAND=BRIT CONT HPOS\r\n"
                                                "COMMAND2=GAMA BRIT\r\n",
                                                "DEMO-100"),
                  ModelLookup::Found);
    }

    CProjectorLink& Link() { return sim->Link(); }

    // The projector's values of kCodes, asked for afresh.
    std::vector<std::int32_t> AskValues() {
        for (const std::string& code : kCodes) {
            Link().Status().FindOrAdd(CodeKey(code)).value = kNoValue;
            EXPECT_NE(Link().SendValue(code.c_str(), kNoValue, 0), 0u);
        }
        EXPECT_FALSE(sim->ServiceUntilIdle(kLimit));
        std::vector<std::int32_t> values;
        for (const std::string& code : kCodes) {
            values.push_back(Link().Status().FindOrAdd(CodeKey(code)).value);
        }
        return values;
    }

    // The commands waiting in the port's queue, as text.
    std::string QueuedText() const {
        const PortEntry& port = *sim->Port();
        std::string text;
        for (std::size_t i = port.cursor; i < port.commandQueue.size(); ++i) {
            const QueuedCommand& c = port.commandQueue[i];
            text.append(reinterpret_cast<const char*>(port.sendBuffer.data()) + c.offset,
                        static_cast<std::size_t>(c.length));
        }
        return text;
    }

    TempDir dir;
    std::filesystem::path log = dir.Path() / "sim.log";
    std::string path = (dir.Path() / "lobby.txt").string();
    MemorySettings settings;
    RecordingNotifier notifier;
    std::unique_ptr<SimulatorLink> sim;
};

TEST_F(SettingsRoundTrip, LoadingTheSavedFileBringsTheValuesBack) {
    // Save, servicing the link as the frame's timer does.
    PrepareSettingsSave(Link(), settings, path);
    CSettingsSave save;
    ASSERT_TRUE(save.Start(Link(), path, "DEMO-100"));
    SaveState state = SaveState::Running;
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (state == SaveState::Running && std::chrono::steady_clock::now() < deadline) {
        ASSERT_FALSE(Link().Service());
        state = save.Poll(Link(), notifier);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(state, SaveState::Written);
    const std::string file = TempDir::Read(path);
    EXPECT_EQ(file, "DEMO-100\r\nBRIT  50\r\nCONT -10\r\nHPOS-999\r\nGAMA9999\r\n");

    // Other values on the projector.
    for (const char* command : {"BRIT   1\r", "CONT   2\r", "HPOS   3\r", "GAMA   4\r"}) {
        Link().QueueCommand(command, 9, AnswerKind::Plain, 0);
    }
    ASSERT_FALSE(sim->ServiceUntilIdle(kLimit));
    ASSERT_EQ(AskValues(), (std::vector<std::int32_t>{1, 2, 3, 4}));

    // Load the saved file.
    int chosen = 0;
    OpenSettingsFile(Link(), settings, notifier, "DEMO-100",
                     [&](const std::string&) -> std::optional<std::string> {
                         return chosen++ == 0 ? std::optional(path) : std::nullopt;
                     });
    EXPECT_EQ(QueuedText(), "BRIT  50\rCONT -10\rHPOS-999\rGAMA9999\r");
    ASSERT_FALSE(sim->ServiceUntilIdle(kLimit));
    EXPECT_EQ(AskValues(), (std::vector<std::int32_t>{50, -10, -999, 9999}));
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_TRUE(notifier.fileErrors.empty());

    // On the wire: the queries of the save, each code once, and later the file's lines.
    ASSERT_EQ(sim->Simulator().Stop(10s), 0);
    const std::vector<std::string> received = Received(log);
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + 4),
              (std::vector<std::string>{"BRIT????", "CONT????", "HPOS????", "GAMA????"}));
    const std::vector<std::string> loaded{"BRIT  50", "CONT -10", "HPOS-999", "GAMA9999"};
    EXPECT_NE(std::search(received.begin(), received.end(), loaded.begin(), loaded.end()),
              received.end())
        << "the file's lines, one after the other";
}

} // namespace
} // namespace tonedesk::test
