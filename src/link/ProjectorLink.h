#pragma once

#include "link/Command.h"
#include "link/ExchangeEvent.h"
#include "link/PortEntry.h"
#include "link/SerialPort.h"
#include "model/ModelFile.h"
#include "support/Clock.h"
#include "support/TextString.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk {

class Notifier;
class Settings;

// What one pump of a port reports.
enum class ExchangeResult : std::int32_t {
    None = 0,
    Ok = 1,
    Error = 2,
    Data = 3,
    TimedOut = -1,
    HungUp = -2, // the device reported an I/O error (it was unplugged or hung up)
};

// The nine bytes that set the code (its first four characters) to `value`, code + "%4d\r", or
// that ask for its value, code + "????\r" for kNoValue. Empty when the code has fewer than four
// characters or the value does not fit in four columns (-999..9999).
std::string ValueCommand(std::string_view code, std::int32_t value);

// The baud rates a port is tried at, in order.
inline constexpr std::array<std::int32_t, 3> kBaudRates{9600, 38400, 115200};
// Longest projector name kept.
inline constexpr std::size_t kMaxProjectorName = 32;
// Longest answer line kept; the rest of a longer line is dropped.
inline constexpr std::size_t kMaxAnswerLine = 2047;
// Pause before a command with the pause flag, after the previous answer.
inline constexpr Tick kPauseMs = 50;
// Highest COM number the scan tries.
inline constexpr std::int32_t kMaxComPorts = 255;
// How often a port is serviced while it cannot tell when bytes arrive (no descriptor) or while
// a command is only partly written.
inline constexpr Tick kPollMs = 1;
// Most bytes taken from the driver in one pump (the size of its receive queue).
inline constexpr std::uint32_t kMaxReadPerPump = 4096;
// Message ids of the string table.
inline constexpr int kMessageQueueDropped = 4102;
inline constexpr int kMessageTransferRejected = 4105;

// Longest time setting taken (2^30 - 1 ms, about 12 days): deadlines stay comparable across the
// wrap of the tick count. Larger values, also those beyond the int32 range, are held at it.
inline constexpr Tick kLongestTimeSetting = 0x3FFFFFFF;

// The link settings of the profile (section ENV). The three counts are at least 1.
struct LinkSettings {
    std::int32_t retry = 3;        // attempts of a command
    std::int32_t retry2 = 2;       // attempts of the name query at one rate
    std::int32_t powerOnRetry = 6; // cycles of the rates the scan tries
    Tick recTimeoutOn = 10000;     // answer time-out while the projector is on
    Tick recTimeoutOff = 10000;    // answer time-out otherwise
    Tick recTimeoutErr = 250;      // pause after an ERR answer
    Tick powerOnTime = 4800;       // one cycle of the scan's rates
    Tick powerOnWait = 30000;      // missing answers are not counted this long after "POWR"
};

// The link to the projectors: the port table, the link settings, the command queues and the
// exchange engine, and the model definition of the connected projector.
//
// Everything runs on one thread: callers queue commands and look at IsBusy, the status table
// or a port's text answer later; Service pumps every open port once and is called from a
// timer. Nothing blocks.
class CProjectorLink {
public:
    // Receives the diagnostic texts of the link ("COM%d ,%d\n", "Recv:%s\n", line errors).
    using TraceSink = std::function<void(const std::string& text)>;
    // Told when a command is queued or a port opens or closes (also inside Service): the
    // descriptors to watch or the next deadline may have changed.
    using ChangeSink = std::function<void()>;

    CProjectorLink(const Settings& settings, const Clock& clock, SerialPortFactory& ports,
                   Notifier& notifier);
    virtual ~CProjectorLink();

    CProjectorLink(const CProjectorLink&) = delete;
    CProjectorLink& operator=(const CProjectorLink&) = delete;

    // Opens the port if it is closed, (re)configures it at its baud rate and resets its
    // exchange state; on success it becomes the current port.
    bool OpenPort(PortEntry& port);
    // Closes every port but the one with this port index; the entries stay in the table.
    void CloseOtherPorts(std::int32_t keepPortIndex);
    // Opens one port outside a scan (adding it to the table when it is not there yet) and makes
    // it the current port; null when it cannot be opened.
    PortEntry* UsePort(std::int32_t comNumber);
    // Takes the port of the table on which the scan found the chosen projector into use: every
    // other port closes, and this one opens outside the scan at the rate found and becomes the
    // current port. False when the table has no such port or it cannot be opened.
    bool UseScannedPort(std::int32_t portIndex);

    // Appends a command to a port's queue (null: the current port). Its id, by which Outcome
    // tells how it ended; 0 (false) when there is no port or the port is closed. A port whose
    // device hung up is opened again first (outside a scan), keeping its rate and projector.
    CommandId QueueCommand(const void* bytes, std::int32_t length, AnswerKind kind, bool pause,
                           PortEntry* port = nullptr);
    // How a queued command ended so far; nothing when the id is unknown or so old that its
    // record is gone (the link keeps the last kOutcomesKept).
    std::optional<CommandOutcome> Outcome(CommandId id) const;
    // Queues the first four characters of code + "%4d\r" (or "????\r" for kNoValue) as a
    // Value command on the current port; its id. 0 (false), and nothing queued, when there is
    // no port, the code has fewer than four characters or the value does not fit in four columns
    // (-999..9999).
    CommandId SendValue(const char* code, std::int32_t value, bool pause);
    // An answer is awaited or commands are left (null: the current port). False when there is
    // no port or it is closed.
    bool IsBusy(const PortEntry* port = nullptr) const;
    // One pump of every open port; true when some port's queue was dropped after RETRY missing
    // answers or because its device hung up (the caller shows message 4102). A port whose
    // device hung up is closed, so that the next OpenPort or UsePort opens the device afresh.
    // While scanning, drives the scan instead; there a port that hangs up is given up.
    bool Service();
    // When Service has work again if nothing arrives on any port: a pause or an answer deadline
    // ends, a received line waits to be handled, a write is unfinished, a port without a
    // descriptor is due for its poll, a scan is to end. Nothing when only arriving bytes (or a
    // caller) can give it work. A tick not after now means at once.
    std::optional<Tick> NextDeadline() const;
    // The descriptors of the open ports (SerialPort::Descriptor): Service has work when one
    // turns readable. Ports without one are covered by NextDeadline.
    std::vector<int> ReadinessDescriptors() const;
    // Whoever drives Service from readiness and deadlines hears of the changes (see
    // ChangeSink); an empty sink stops that.
    void SetChangeSink(ChangeSink sink) { changeSink_ = std::move(sink); }

    // Starts a new scan of COM1..COM255.
    void ScanPorts();
    // Probes one open port as the scan does, for one cycle of `rates`: the name query as an
    // Identify command at each rate in turn, RETRY2 attempts at each, an answer awaited
    // POWERON_TIME / (RETRY2 * number of rates). The link enters the scanning mode; Service drives
    // the probe until Scanning() turns false, and then the port tells whether a projector answered
    // (AnsweredProbe) and at which rate. A port nothing answered on is closed. False, and nothing
    // started, when the port is closed or no rate is given.
    bool StartProbe(PortEntry& port, std::span<const std::int32_t> rates);

    PortEntry* CurrentPort() const { return currentPort_; }
    const std::vector<PortEntry>& Ports() const { return ports_; }
    // The table's entry of COM n (to queue on or probe), or null when the table has none.
    PortEntry* Port(std::int32_t comNumber);
    CModelFile& Model() { return model_; }
    const CModelFile& Model() const { return model_; }
    StatusTable& Status() { return model_.statusTable; }
    const StatusTable& Status() const { return model_.statusTable; }

    // The diagnostic trace is off until a sink is set; an empty sink turns it off again.
    void SetTraceSink(TraceSink sink) { traceSink_ = std::move(sink); }
    void TraceOut(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Every open, close, hang-up, time-out, command written and byte received goes to this
    // sink (the service log); an empty sink turns it off.
    void SetExchangeSink(ExchangeSink sink) { exchangeSink_ = std::move(sink); }

    // The link settings, as read at construction.
    const LinkSettings& Configuration() const { return settings_; }
    // The link starts in the scanning mode: Service drives the scan (or a probe) until it ends.
    bool Scanning() const { return scanning_; }
    // Leaves the scanning mode: from now on Service exchanges the queued commands of the open
    // ports.
    void StopScanning() { scanning_ = false; }
    // Ports that opened at the start of the last scan.
    std::int32_t PortsFound() const { return portsFound_; }
    // COM numbers of the ports the last scan could not open because access to their devices
    // was denied, in port order.
    const std::vector<std::int32_t>& DeniedPorts() const { return deniedPorts_; }
    // Tick at which the last "POWR" Plain command was written; 0 none, and 0 again once its
    // grace period (POWERON_WAIT) is over.
    Tick PowerCommandTime() const { return powerCommandTime_; }

private:
    // How an answer line ended.
    enum class LineEnd { None, Cr, Eot };

    // One exchange step of a port: what arrived is read, the next answer line cut and handled,
    // a missing answer timed out and the next command written.
    ExchangeResult PumpPort(PortEntry& port);
    // Takes what the driver holds into the receive buffer; the bytes taken, 0 after line errors.
    // `hungUp` tells whether the driver reported an I/O error: the device is gone.
    std::int32_t ReadFromDriver(PortEntry& port, bool& hungUp);
    void TraceLineErrors(std::uint32_t errors) const;
    // Cuts the next answer line from the received bytes and handles it; None while no line
    // ended.
    ExchangeResult TakeAnswer(PortEntry& port, std::int32_t bytesRead);
    // Moves received bytes into the port's partial line up to the first line end.
    LineEnd CutLine(PortEntry& port);
    // The partial line is a whole answer: traced, classified and applied; what it was.
    ExchangeResult HandleLine(PortEntry& port, bool endedByEot);
    // What the answer line does to the command in flight, by the kind of answer awaited.
    void ApplyAnswer(PortEntry& port, ExchangeResult result, const std::string& line,
                     bool endedByEot);
    // The awaited answer is overdue at `now`, a tick read before the driver was last asked for
    // bytes (and the projector is not powering up): the received bytes are dropped.
    bool AnswerTimedOut(PortEntry& port, Tick now);
    // A power command was written less than POWERON_WAIT ago; forgets it once that is over.
    bool PowerGraceRunning(Tick now);
    // Writes (the rest of) the next command when no answer is awaited; the queue is emptied
    // once every command was answered. TimedOut when a write could not finish in time, else
    // `result`.
    ExchangeResult SendNext(PortEntry& port, ExchangeResult result);
    bool SendDue(const PortEntry& port, Tick now) const;
    void WriteSome(PortEntry& port, QueuedCommand& command);
    // The command was written: its answer is awaited from now on.
    void AwaitAnswer(PortEntry& port, const QueuedCommand& command, Tick now);

    bool ServiceScan();
    void FailedProbe(PortEntry& port, bool& goesOn);
    void QueueProbe(PortEntry& port);
    // The command at the cursor ended so: the next one is up.
    void MoveOn(PortEntry& port, CommandEnd end, std::string_view answer = {});
    // Records how a command ended, unless it already had.
    void EndCommand(const QueuedCommand& command, CommandEnd end, std::string_view answer);
    void DropQueue(PortEntry& port);
    // Closes the port's handle and forgets its exchange: no answer awaited, no queue.
    void ClosePort(PortEntry& port);
    // Opens a port whose device hung up again; the current port stays what it was.
    bool ReopenLostDevice(PortEntry& port);
    // The scan gives the port up: closed, no projector found on it.
    void GiveUpProbe(PortEntry& port);
    // Nothing received, awaited or queued any more: the state of a port just (re)opened.
    void ResetExchange(PortEntry& port);
    // Sets the status entry of the Plain or Value command in flight on the port.
    void SetStatus(const PortEntry& port, std::int32_t value);
    Tick ProbeTimeout() const;
    // When the port's pump has work again without new bytes; nothing when only bytes can give
    // it some.
    std::optional<Tick> PortDeadline(const PortEntry& port, Tick now) const;
    void Changed();
    void Report(ExchangeKind kind, const PortEntry& port, std::string_view bytes = {}) const;

    const Clock& clock_;
    SerialPortFactory& portFactory_;
    Notifier& notifier_;
    PortEntry* currentPort_ = nullptr;
    std::vector<PortEntry> ports_; // capacity for every COM port: entries never move
    CModelFile model_;
    TraceSink traceSink_;
    ExchangeSink exchangeSink_;
    ChangeSink changeSink_;
    LinkSettings settings_;
    Tick powerCommandTime_ = 0;
    bool scanning_ = true;
    std::int32_t portsFound_ = 0;
    std::vector<std::int32_t> deniedPorts_;
    std::deque<CommandOutcome> outcomes_; // ids rising by one, the oldest first
    CommandId nextCommandId_ = 1;
    // What the running scan or probe tries: these rates in turn, this many cycles.
    std::vector<std::int32_t> probeRates_{kBaudRates.begin(), kBaudRates.end()};
    std::int32_t probeCycles_ = 0;
};

} // namespace tonedesk
