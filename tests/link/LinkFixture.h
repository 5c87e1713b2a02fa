#pragma once

#include "common/FakeSerialPort.h"
#include "common/TestKit.h"
#include "link/ProjectorLink.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace tonedesk {

// Answer kinds by their names in failure messages.
inline void PrintTo(AnswerKind kind, std::ostream* os) {
    switch (kind) {
    case AnswerKind::Plain:
        *os << "Plain";
        return;
    case AnswerKind::Value:
        *os << "Value";
        return;
    case AnswerKind::Text:
        *os << "Text";
        return;
    case AnswerKind::Identify:
        *os << "Identify";
        return;
    case AnswerKind::Transfer:
        *os << "Transfer";
        return;
    }
    *os << "AnswerKind(" << static_cast<int>(kind) << ")";
}

} // namespace tonedesk

namespace tonedesk::test {

// A link on virtual time with scripted ports. Settings are applied by MakeLink, so a test
// sets them first.
class LinkFixture : public ::testing::Test {
protected:
    void SetEnv(std::string_view key, std::int32_t value) {
        settings.SetInt(kEnvSection, key, value);
    }

    CProjectorLink& MakeLink() {
        link = std::make_unique<CProjectorLink>(settings, clock, ports, notifier);
        return *link;
    }

    // A link outside the scanning mode with COM<com> open as its current port.
    PortEntry& Connect(int com = 1) {
        line = ports.AddLine(com);
        if (!link) {
            MakeLink();
        }
        link->StopScanning();
        PortEntry* p = link->UsePort(com);
        EXPECT_NE(p, nullptr);
        port = p;
        return *p;
    }

    CommandId Queue(std::string_view bytes, AnswerKind kind, std::int32_t pause = 0) {
        return link->QueueCommand(bytes.data(), static_cast<std::int32_t>(bytes.size()), kind,
                                  pause);
    }

    // One Service call after the clock moved on by `ms`.
    bool Step(Tick ms = 1) {
        clock.Advance(ms);
        return link->Service();
    }

    // Service calls, one per virtual millisecond, for `ms` milliseconds; true when any of them
    // reported a dropped queue.
    bool RunFor(Tick ms) {
        bool dropped = false;
        for (Tick t = 0; t < ms; ++t) {
            dropped = Step() || dropped;
        }
        return dropped;
    }

    std::int32_t StatusOf(std::string_view code) const {
        const auto* e = link->Status().Find(CodeKey(code));
        return e ? e->value : -12345;
    }

    // The bytes of every command queued on the port, back to back.
    static std::string TextOfQueue(const PortEntry& p) {
        return std::string(p.sendBuffer.begin(), p.sendBuffer.end());
    }

    // What the connected port holds: the bytes queued, the commands not done yet, the kind of
    // answer awaited, the attempts the command in flight has used, the text answer.
    std::string QueuedBytes() const { return TextOfQueue(*port); }
    std::size_t QueueLeft() const { return port->commandQueue.size() - port->cursor; }
    std::optional<AnswerKind> AwaitedKind() const { return port->pendingKind; }
    std::int32_t Retries() const { return port->retryCount; }
    std::string TextAnswer() const {
        return std::string(port->textAnswer.begin(), port->textAnswer.end());
    }

    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    MemorySettings settings;
    ManualClock clock{1000};
    FakeSerialPortFactory ports;
    RecordingNotifier notifier;
    std::unique_ptr<CProjectorLink> link;
    std::shared_ptr<FakeLine> line;
    PortEntry* port = nullptr;
};

} // namespace tonedesk::test
