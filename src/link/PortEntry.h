#pragma once

#include "link/Command.h"
#include "link/SerialPort.h"
#include "support/Clock.h"
#include "support/TextString.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonedesk {

// One serial port of the link's table: its device, the scan's state on it, the received and the
// queued bytes, and the exchange in flight.
struct PortEntry {
    std::int32_t portIndex = 0;         // 0-based: COM(portIndex + 1)
    std::unique_ptr<SerialPort> handle; // null while closed
    bool probing = false;
    std::int32_t baudIndex = 0;
    std::int32_t receiveFill = 0;
    std::int32_t receivePosition = 0;
    std::optional<AnswerKind> pendingKind; // the kind of answer awaited; none while idle
    Tick answerDeadline = 0;
    Tick answerTimeout = 0;
    Tick earliestSend = 0;
    ByteBuffer receiveBuffer;
    ByteBuffer sendBuffer;
    ByteBuffer textAnswer; // lines joined by CR LF, a 0 byte after the last; empty when none
    std::vector<QueuedCommand> commandQueue;
    std::size_t cursor = 0;
    std::int32_t retryCount = 0;
    std::int32_t powerOnRetryCount = 0;
    std::int32_t baudRate = 0; // 0: the scan gave this port up
    std::string projectorName; // at most kMaxProjectorName characters

    // The answer line read so far (bytes before its end that were already taken from the
    // receive buffer), at most kMaxAnswerLine characters.
    std::string partialLine;
    // While the command at the cursor is being written; its write must finish before the
    // answer deadline.
    bool writing = false;
    // Closed because its device hung up (an unplugged adapter, a projector switched off at the
    // mains): the next command queued on it opens the device again, at the same rate.
    bool deviceLost = false;
    // The status entry (code key) that the answer to the Plain or Value command in flight
    // refers to.
    std::uint32_t statusKey = 0;

    bool IsOpen() const { return handle != nullptr; }
    bool IsAwaitingAnswer() const { return pendingKind.has_value(); }
    // After a scan or a probe: a projector answered the name query on this port, at baudRate.
    bool AnsweredProbe() const { return IsOpen() && !probing && baudRate != 0; }
    int ComNumber() const { return portIndex + 1; }
};

} // namespace tonedesk
