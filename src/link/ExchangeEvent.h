#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace tonedesk {

// What happened on a port, as the service log records it.
enum class ExchangeKind : std::int32_t {
    Opened,   // the port was opened (again) and configured at `baudRate`
    Closed,   // the port was closed
    HungUp,   // the device reported an I/O error: it was unplugged or hung up
    TimedOut, // an answer (or the end of a write) did not come in time
    Sent,     // a whole command was written: `bytes`
    Received, // bytes arrived: `bytes`
};

// One event of a port's exchange. `bytes` is valid only during the call of the sink.
struct ExchangeEvent {
    ExchangeKind kind = ExchangeKind::Opened;
    std::int32_t comNumber = 0;
    std::int32_t baudRate = 0;
    std::string_view bytes;
};

// Receives the exchange events of the link. It runs inside the link's service: it must not
// wait (no disk writes), only keep the event.
using ExchangeSink = std::function<void(const ExchangeEvent& event)>;

} // namespace tonedesk
