#pragma once

// A scripted serial line for unit tests: no device, no time, no threads.
//
//   test::FakeSerialPortFactory ports;
//   auto line = ports.AddLine(3);                    // COM3 exists
//   line->Reply("POWR????\r", "1\r");                // answer every "POWR????\r" with "1\r"
//   line->Reply("TNAM   1\r", "PJ-7\r", 38400);      // ...this one only while at 38400 bit/s
//   CProjectorLink link(settings, clock, ports, notifier);
//   ... link.Service() ...
//   EXPECT_EQ(line->WrittenText(), "POWR????\r");
//   line->Feed("OK\r");                              // bytes the peer sends now
//
// A FakeLine is the state of one COM port, shared between the test and the port object that
// the factory hands out, so the test can look at it and change it while the program owns the
// port. Everything happens at once: a reply is in the receive queue as soon as the last byte
// of its command has been written.

#include "link/SerialPort.h"
#include "support/TextString.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk::test {

struct FakeLine {
    // A canned answer: when the bytes written end with `command`, `answer` arrives, if the
    // line runs at `baudRate` (0: at any rate). `remaining` < 0: every time, else that many
    // times.
    struct Rule {
        std::string command;
        std::string answer;
        int baudRate = 0;
        int remaining = -1;
    };

    int comNumber = 0;

    // --- what the program did ---
    bool open = false;           // a port object of this line is alive
    int openCount = 0;           // successful opens
    int baudRate = 0;            // rate of the last Configure (0: never configured)
    std::vector<int> configured; // every Configure rate, in order
    int purgeCount = 0;
    ByteBuffer written;          // every byte written, in order
    std::vector<int> writeSizes; // bytes accepted by each Write call (also zeros)

    // --- what the test scripts ---
    std::deque<std::uint8_t> incoming; // bytes received and not yet read
    std::vector<Rule> rules;
    std::uint32_t errors = 0; // PortErrorFlag bits reported (once) by the next Status
    // PortErrorFlag bits the next Read finds marked in its data (TakeReadErrors hands them on).
    std::uint32_t errorsInData = 0;
    bool xoffHold = false;   // output held: Status reports it and Write takes nothing
    int writeLimit = -1;     // most bytes one Write takes (-1: all)
    bool refuseOpen = false; // the factory cannot open this port
    PortOpenError refusal = PortOpenError::kFailed; // why, while refuseOpen
    // The other side hung up: Status reports kPortIoError every time, Read and Write take
    // nothing.
    bool hungUp = false;
    // A driver that lies: Status claims this many more bytes waiting than there are, which
    // Read never delivers.
    std::uint32_t claimsWaiting = 0;
    // A stall of the program: runs once, right after the next Status answered (or before the
    // next Write takes its bytes), and is then cleared. What it does (the clock jumps, bytes
    // arrive) happens while the program is not running.
    std::function<void()> afterStatus;
    std::function<void()> beforeWrite;
    // What the port gives as its descriptor (-1: none, the link polls it). Never polled here:
    // a test stands for the readiness of a line by servicing while `incoming` holds bytes.
    int descriptor = -1;

    // Bytes the peer sends now (Purge drops them like any received byte).
    void Feed(std::string_view bytes);
    void Feed(const ByteBuffer& bytes);
    // Adds a canned answer (see Rule).
    void Reply(std::string command, std::string answer, int atBaudRate = 0, int times = -1);
    // The bytes written, as text.
    std::string WrittenText() const;
    // Forgets what was written so far (written, writeSizes).
    void ClearWritten();

    std::string pendingCommand; // written bytes not yet matched by a rule
};

// The port object handed to the program: reads and writes its FakeLine.
class FakeSerialPort final : public SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line);
    ~FakeSerialPort() override;
    bool Configure(int baudRate) override;
    PortStatus Status() override;
    int Read(std::uint8_t* data, int size) override;
    std::uint32_t TakeReadErrors() override;
    int Write(const std::uint8_t* data, int size) override;
    void Purge() override;
    int Descriptor() const override { return line_->descriptor; }

private:
    std::shared_ptr<FakeLine> line_;
    std::uint32_t readErrors_ = 0;
};

// Opens the lines added to it; every other COM number does not exist, and a line that is
// already open cannot be opened a second time.
class FakeSerialPortFactory final : public SerialPortFactory {
public:
    // Makes COM<comNumber> exist (or returns its line when it already does).
    std::shared_ptr<FakeLine> AddLine(int comNumber);
    // The line of that COM number, or null.
    std::shared_ptr<FakeLine> Line(int comNumber) const;

    std::unique_ptr<SerialPort> Open(int comNumber) override;
    // "fake:COM<n>" for a line that exists, else empty.
    std::string DevicePath(int comNumber) const override;
    PortOpenError LastOpenError() const override { return lastError_; }

    std::vector<int> openAttempts; // every COM number asked for, in order

private:
    std::map<int, std::shared_ptr<FakeLine>> lines_;
    PortOpenError lastError_ = PortOpenError::kFailed;
};

} // namespace tonedesk::test
