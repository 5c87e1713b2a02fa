#pragma once

// Ground of the connection dialog's and the start-to-exit sequence's tests: a frame on scripted
// ports and virtual time, no default ports, and a model folder of the test's own.

#include "app/MainFrame.h"
#include "common/FakeSerialPort.h"
#include "common/GuiTestKit.h"
#include "support/Settings.h"

#include <filesystem>
#include <memory>
#include <string>

namespace tonedesk::test {

class ConnectTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        settings.SetInt(kPortsSection, "SYSTEM", 0);
        models = temp.Path() / "models";
        std::filesystem::create_directories(models);
        frame.Link().Model().SetFolder(models.string() + "/");
    }

    // A projector on COM<com> that answers the name query with `name`, at `baud` only (0: at
    // every rate).
    std::shared_ptr<FakeLine> Projector(int com, const std::string& name, int baud = 0) {
        auto line = ports.AddLine(com);
        line->Reply("TNAM   1\r", name + "\r", baud);
        return line;
    }
    static std::string ModelText(const std::string& name) {
        return "[PROPERTY]\nPROJECTOR_NAME=" + name + "\n";
    }
    // A model file for the projector in the model folder.
    void Model(const std::string& name) { WriteFile("models/" + name + ".ini", ModelText(name)); }

    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    ScriptedNotifier notifier;
    RecordingPrompts prompts;
    std::filesystem::path models;
    CMainFrame frame{{settings, clock, ports, notifier, prompts}};
};

} // namespace tonedesk::test
