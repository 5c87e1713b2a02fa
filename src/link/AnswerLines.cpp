// How the link takes bytes from a port's driver and cuts them into answer lines.
#include "link/ProjectorLink.h"

#include <algorithm>

namespace tonedesk {

namespace {

ExchangeResult Classify(const std::string& line) {
    if (line == "OK") {
        return ExchangeResult::Ok;
    }
    if (line == "ERR") {
        return ExchangeResult::Error;
    }
    return ExchangeResult::Data;
}

// Room for bytes from the driver in this pump. Lines already in the buffer are handled one per
// pump. While an answer is awaited, no more is taken from the driver than fits beside them in
// kMaxReadPerPump, so that a peer sending lines faster than that cannot make the buffer grow
// without end: the rest waits in the driver.
std::uint32_t ReadRoom(const PortEntry& port) {
    if (!port.IsAwaitingAnswer()) {
        return kMaxReadPerPump;
    }
    const auto held = static_cast<std::uint32_t>(port.receiveFill - port.receivePosition);
    return held < kMaxReadPerPump ? kMaxReadPerPump - held : 0;
}

// The lines handled so far are gone: what is left moves to the front of the receive buffer.
void DropHandledBytes(PortEntry& port) {
    if (port.receivePosition == 0) {
        return;
    }
    const auto from = port.receiveBuffer.begin() + port.receivePosition;
    std::copy(from, port.receiveBuffer.begin() + port.receiveFill, port.receiveBuffer.begin());
    port.receiveFill -= port.receivePosition;
    port.receivePosition = 0;
}

} // namespace

std::int32_t CProjectorLink::ReadFromDriver(PortEntry& port, bool& hungUp) {
    SerialPort& device = *port.handle;
    const PortStatus status = device.Status();
    std::uint32_t errors = status.errors;
    hungUp = (errors & kPortIoError) != 0;
    const std::uint32_t waiting = std::min(status.waiting, ReadRoom(port));
    std::int32_t bytesRead = 0;
    if (waiting > 0) {
        DropHandledBytes(port);
        const std::size_t need = static_cast<std::size_t>(port.receiveFill) + waiting;
        if (port.receiveBuffer.size() < need) {
            port.receiveBuffer.resize(need);
        }
        const int got =
            device.Read(port.receiveBuffer.data() + port.receiveFill, static_cast<int>(waiting));
        bytesRead = std::clamp<int>(got, 0, static_cast<int>(waiting));
        errors |= device.TakeReadErrors();
        if (bytesRead > 0) {
            Report(ExchangeKind::Received, port,
                   {reinterpret_cast<const char*>(port.receiveBuffer.data()) + port.receiveFill,
                    static_cast<std::size_t>(bytesRead)});
        }
        // Every byte that arrives extends the wait for the rest of the answer; a port that
        // claims bytes but delivers none does not. While a write is pending, what arrives is
        // no answer to it and its deadline holds.
        if (errors == 0 && bytesRead > 0 && port.IsAwaitingAnswer()) {
            port.answerDeadline = clock_.Now() + port.answerTimeout;
        }
    }
    if (errors != 0) {
        TraceLineErrors(errors);
        bytesRead = 0;
    }
    return bytesRead;
}

void CProjectorLink::TraceLineErrors(std::uint32_t errors) const {
    static constexpr std::pair<std::uint32_t, const char*> kFlagTexts[] = {
        {kPortBreak, " Detect Break\n"},         {kPortFraming, " Framing\n"},
        {kPortIoError, " I/O Error\n"},          {kPortOverrun, " Over Run\n"},
        {kPortRxOverflow, " Buffer Overflow\n"}, {kPortParity, " Parity Error\n"},
    };
    for (const auto& [flag, text] : kFlagTexts) {
        if (errors & flag) {
            TraceOut("%s", text);
        }
    }
}

ExchangeResult CProjectorLink::TakeAnswer(PortEntry& port, std::int32_t bytesRead) {
    port.receiveFill += bytesRead;
    const LineEnd end = CutLine(port);
    const ExchangeResult result =
        end == LineEnd::None ? ExchangeResult::None : HandleLine(port, end == LineEnd::Eot);
    if (port.receivePosition == port.receiveFill) {
        port.receivePosition = 0;
        port.receiveFill = 0;
    }
    return result;
}

CProjectorLink::LineEnd CProjectorLink::CutLine(PortEntry& port) {
    LineEnd end = LineEnd::None;
    std::int32_t i = port.receivePosition;
    for (; i < port.receiveFill; ++i) {
        const std::uint8_t b = port.receiveBuffer[static_cast<std::size_t>(i)];
        if (b == 13 || b == 4) {
            end = b == 4 ? LineEnd::Eot : LineEnd::Cr;
            ++i;
            break;
        }
        if (b >= 32 && port.partialLine.size() < kMaxAnswerLine) {
            port.partialLine.push_back(static_cast<char>(b));
        }
    }
    // The bytes scanned are held in the partial line: the receive buffer never keeps more than
    // what arrived after the line end.
    port.receivePosition = i;
    return end;
}

ExchangeResult CProjectorLink::HandleLine(PortEntry& port, bool endedByEot) {
    const std::string line = std::move(port.partialLine);
    port.partialLine.clear();
    TraceOut("Recv:%s\n", line.c_str());
    const ExchangeResult result = Classify(line);
    const Tick now = clock_.Now();
    if (result == ExchangeResult::Error) {
        port.earliestSend = now + settings_.recTimeoutErr;
    }
    ApplyAnswer(port, result, line, endedByEot);
    if (!port.IsAwaitingAnswer() && port.cursor < port.commandQueue.size() &&
        port.commandQueue[port.cursor].pause) {
        port.earliestSend = now + kPauseMs;
    }
    return result;
}

} // namespace tonedesk
