#pragma once

#include "common/FakeSerialPort.h"
#include "common/GuiTestKit.h"
#include "gamma/GammaTransfer.h"
#include "link/ProjectorLink.h"
#include "support/Settings.h"
#include "ui/gamma/GammaDialog.h"

#include <QAbstractButton>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>

namespace tonedesk::test {

using namespace std::chrono_literals;

// A preset whose channels carry control points on these lines, each level `lift` above the
// ramp; all three channels alike unless `greenLift` differs.
inline GammaFileTable Preset(int lift, int greenLift) {
    GammaFileTable table = GammaFileTable::Identity();
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const int l = channel == 1 ? greenLift : lift;
        for (int line : {0, 64, 128, 192, 255}) {
            table.At(channel, line) = kControlPointMark + std::min(1023, 4 * line + l);
        }
    }
    return table;
}

// The bytes a write of bank 0's three channels with these levels puts on the line.
inline ByteBuffer WriteAllBytes(const std::array<LevelTable, kChannelCount>& levels) {
    GammaTable table;
    table.levels = levels;
    ByteBuffer expected;
    for (const ByteBuffer& entry : GammaTransferEntries(0, table, kAllChannels)) {
        expected.insert(expected.end(), entry.begin(), entry.end());
    }
    return expected;
}

// The dialog on a link whose COM1 is scripted; the projector answers the power query.
class GammaDialogTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        line = ports.AddLine(1);
        line->Reply("POWR????\r", "1\r");
        link.StopScanning();
        port = link.UsePort(1);
        ASSERT_NE(port, nullptr);
        link.Model().presetGamma[0] = Preset(0, 0);
        link.Model().presetGamma[1] = Preset(40, 80);
        dialog = std::make_unique<CGammaDialog>(link, settings, notifier, prompts);
    }

    // Runs the link until it is idle, answering every awaited entry with the next of
    // `answers` ("OK\r" when none is left), then gives the dialog its tick.
    void Settle(std::deque<std::string> answers = {}) {
        for (int ms = 0; ms < 60000 && link.IsBusy(); ++ms) {
            if (port->IsAwaitingAnswer() && line->incoming.empty() &&
                port->pendingKind == AnswerKind::Transfer) {
                line->Feed(answers.empty() ? std::string("OK\r") : answers.front());
                if (!answers.empty()) {
                    answers.pop_front();
                }
            }
            clock.Advance(1);
            link.Service();
        }
        ASSERT_FALSE(link.IsBusy());
        dialog->OnTimer();
    }

    template <typename T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(dialog->Control(id));
    }
    CGammaGraph& Graph() { return dialog->Graph(); }
    void Click(int id) { Control<QAbstractButton>(id)->click(); }

    MemorySettings settings;
    ManualClock clock;
    FakeSerialPortFactory ports;
    RecordingNotifier notifier;
    RecordingPrompts prompts;
    CProjectorLink link{settings, clock, ports, notifier};
    std::shared_ptr<FakeLine> line;
    PortEntry* port = nullptr;
    std::unique_ptr<CGammaDialog> dialog;
};

class GammaFileCommandTest : public GammaDialogTest {
protected:
    std::string Folder() const { return temp.Path().string() + "/"; }
    std::string Path(const char* name) const { return Folder() + name; }
};

} // namespace tonedesk::test
