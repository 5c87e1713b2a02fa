#include "link/ProjectorLink.h"

#include "support/Notifier.h"
#include "support/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tonedesk {

namespace {

std::int32_t CountSetting(const Settings& settings, std::string_view key) {
    // A count below 1 would never be reached by a counter that starts at 1: retry forever.
    return std::max<std::int32_t>(1, EnvInt(settings, key));
}

// Read as written, so that a value beyond the int32 range takes the longest time, not 0 or a
// negative number; below 0 is 0.
Tick TimeSetting(const Settings& settings, std::string_view key) {
    return static_cast<Tick>(
        std::clamp<std::int64_t>(EnvWideInt(settings, key), 0, kLongestTimeSetting));
}

// a is later than b, also when the tick count wrapped between them.
bool After(Tick a, Tick b) {
    return static_cast<std::int32_t>(a - b) > 0;
}

bool StartsWithPowr(const std::uint8_t* bytes, std::int32_t length) {
    return length >= 4 && std::memcmp(bytes, "POWR", 4) == 0;
}

std::uint32_t KeyOf(const std::uint8_t* bytes, std::int32_t length) {
    return CodeKey(std::string_view(reinterpret_cast<const char*>(bytes),
                                    static_cast<std::size_t>(std::min<std::int32_t>(length, 4))));
}

// The line as a decimal integer: leading blanks and a sign allowed, no digits gives 0, a value
// beyond the 32-bit range is held at its limit.
std::int32_t DecimalValue(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (line[i] - '0'), std::int64_t{1} << 32);
    }
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// How a command that moves on at this answer line ended.
CommandEnd EndAt(ExchangeResult result) {
    return result == ExchangeResult::Ok ? CommandEnd::Confirmed : CommandEnd::Answered;
}

} // namespace

std::string ValueCommand(std::string_view code, std::int32_t value) {
    if (code.size() < 4) {
        return {};
    }
    // "%4d" of anything outside -999..9999 would be longer than four columns.
    if (value != kNoValue && (value < -999 || value > 9999)) {
        return {};
    }
    // "%.4s" of the code, then "%4d" of the value (or "????"), then CR; built by hand so that no
    // compiler has to prove the length.
    const std::string_view head = code.substr(0, 4);
    if (head.find('\0') != std::string_view::npos) {
        return {}; // a code shorter than four characters
    }
    std::string command(head);
    if (value == kNoValue) {
        command += "????";
    } else {
        char digits[12];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
        const auto length = static_cast<std::size_t>(end - digits);
        command.append(4 - std::min<std::size_t>(length, 4), ' ');
        command.append(digits, length);
    }
    command += '\r';
    return command;
}

CProjectorLink::CProjectorLink(const Settings& settings, const Clock& clock,
                               SerialPortFactory& ports, Notifier& notifier)
    : clock_(clock), portFactory_(ports), notifier_(notifier), model_(notifier) {
    ports_.reserve(kMaxComPorts);
    settings_.recTimeoutOn = TimeSetting(settings, "REC_TIMEOUT_ON");
    settings_.recTimeoutOff = TimeSetting(settings, "REC_TIMEOUT_OFF");
    settings_.recTimeoutErr = TimeSetting(settings, "REC_TIMEOUT_ERR");
    settings_.powerOnTime = TimeSetting(settings, "POWERON_TIME");
    settings_.powerOnWait = TimeSetting(settings, "POWERON_WAIT");
    settings_.retry = std::min(CountSetting(settings, "RETRY"), kMaxRetry);
    settings_.retry2 = CountSetting(settings, "RETRY2");
    settings_.powerOnRetry = CountSetting(settings, "POWERON_RETRY");
    probeCycles_ = settings_.powerOnRetry;
}

CProjectorLink::~CProjectorLink() = default;

void CProjectorLink::TraceOut(const char* format, ...) const {
    if (!traceSink_) {
        return;
    }
    char text[2200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    traceSink_(text);
}

Tick CProjectorLink::ProbeTimeout() const {
    return settings_.powerOnTime /
           (static_cast<Tick>(settings_.retry2) * static_cast<Tick>(probeRates_.size()));
}

bool CProjectorLink::OpenPort(PortEntry& port) {
    currentPort_ = nullptr;
    if (!port.IsOpen()) {
        port.handle = portFactory_.Open(port.ComNumber());
        if (!port.handle) {
            return false;
        }
        // A device that comes back after a hang-up is the same projector at the same rate.
        if (!port.deviceLost) {
            port.baudIndex = 0;
            port.projectorName.clear();
            port.baudRate = kBaudRates[0];
        }
        port.deviceLost = false;
    }
    currentPort_ = &port;

    ResetExchange(port);
    port.answerTimeout = port.probing ? ProbeTimeout() : settings_.recTimeoutOff;

    // Configuration failures show up later as line errors or missing answers.
    port.handle->Configure(port.baudRate);
    port.handle->Purge();
    TraceOut("COM%d ,%d\n", port.ComNumber(), port.baudRate);
    Report(ExchangeKind::Opened, port);

    const Tick now = clock_.Now();
    port.answerDeadline = now + port.answerTimeout;
    port.earliestSend = now;
    Changed();
    return true;
}

void CProjectorLink::CloseOtherPorts(std::int32_t keepPortIndex) {
    // No lock: the link runs on one thread, and nothing else touches the port table.
    for (PortEntry& port : ports_) {
        if (port.portIndex != keepPortIndex) {
            ClosePort(port);
        }
    }
}

bool CProjectorLink::UseScannedPort(std::int32_t portIndex) {
    CloseOtherPorts(portIndex);
    for (PortEntry& port : ports_) {
        if (port.portIndex == portIndex) {
            port.probing = false;
            return OpenPort(port);
        }
    }
    return false;
}

PortEntry* CProjectorLink::Port(std::int32_t comNumber) {
    for (PortEntry& port : ports_) {
        if (port.ComNumber() == comNumber) {
            return &port;
        }
    }
    return nullptr;
}

PortEntry* CProjectorLink::UsePort(std::int32_t comNumber) {
    if (comNumber < 1 || comNumber > kMaxComPorts) {
        return nullptr;
    }
    const std::int32_t index = comNumber - 1;
    auto it = std::find_if(ports_.begin(), ports_.end(),
                           [index](const PortEntry& p) { return p.portIndex == index; });
    const bool added = it == ports_.end();
    if (added) {
        // Appended, so that no other entry moves; the table has room for every COM port.
        it = ports_.insert(ports_.end(), PortEntry{});
        it->portIndex = index;
    }
    it->probing = false;
    if (!OpenPort(*it)) {
        if (added) {
            ports_.pop_back();
        }
        return nullptr;
    }
    return &*it;
}

CommandId CProjectorLink::QueueCommand(const void* bytes, std::int32_t length, AnswerKind kind,
                                       bool pause, PortEntry* port) {
    if (!port) {
        port = currentPort_;
    }
    if (port && port->deviceLost && !scanning_) {
        ReopenLostDevice(*port);
    }
    if (!port || !port->IsOpen() || length < 0 || (length > 0 && !bytes)) {
        return 0;
    }
    QueuedCommand command;
    command.id = nextCommandId_++;
    command.offset = static_cast<std::int32_t>(port->sendBuffer.size());
    command.length = length;
    command.kind = kind;
    command.pause = pause;
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    port->sendBuffer.insert(port->sendBuffer.end(), data, data + length);
    port->commandQueue.push_back(command);
    outcomes_.push_back({command.id, kind, CommandEnd::Pending, {}});
    if (outcomes_.size() > kOutcomesKept) {
        outcomes_.pop_front();
    }
    notifier_.SetCursorShape(CursorShape::AppStarting);
    Changed();
    return command.id;
}

std::optional<CommandOutcome> CProjectorLink::Outcome(CommandId id) const {
    if (outcomes_.empty() || id < outcomes_.front().id || id > outcomes_.back().id) {
        return std::nullopt;
    }
    return outcomes_[static_cast<std::size_t>(id - outcomes_.front().id)];
}

void CProjectorLink::EndCommand(const QueuedCommand& command, CommandEnd end,
                                std::string_view answer) {
    if (outcomes_.empty() || command.id < outcomes_.front().id) {
        return; // its record is gone
    }
    CommandOutcome& outcome =
        outcomes_[static_cast<std::size_t>(command.id - outcomes_.front().id)];
    if (outcome.end == CommandEnd::Pending) {
        outcome.end = end;
        outcome.answer = answer;
    }
}

CommandId CProjectorLink::SendValue(const char* code, std::int32_t value, bool pause) {
    const std::string command = ValueCommand(code ? code : "", value);
    if (command.empty()) {
        return 0;
    }
    return QueueCommand(command.data(), static_cast<std::int32_t>(command.size()),
                        AnswerKind::Value, pause);
}

bool CProjectorLink::IsBusy(const PortEntry* port) const {
    if (!port) {
        port = currentPort_;
    }
    if (!port || !port->IsOpen()) {
        return false;
    }
    return port->IsAwaitingAnswer() || port->cursor < port->commandQueue.size();
}

void CProjectorLink::SetStatus(const PortEntry& port, std::int32_t value) {
    Status().FindOrAdd(port.statusKey).value = value;
}

void CProjectorLink::MoveOn(PortEntry& port, CommandEnd end, std::string_view answer) {
    if (port.cursor < port.commandQueue.size()) {
        EndCommand(port.commandQueue[port.cursor], end, answer);
    }
    ++port.cursor;
    port.retryCount = 0;
}

void CProjectorLink::DropQueue(PortEntry& port) {
    for (const QueuedCommand& command : port.commandQueue) {
        EndCommand(command, CommandEnd::Dropped, {});
    }
    port.commandQueue.clear();
    port.sendBuffer.clear();
    port.cursor = 0;
    port.writing = false;
}

void CProjectorLink::ResetExchange(PortEntry& port) {
    port.receiveFill = 0;
    port.receivePosition = 0;
    port.partialLine.clear();
    port.pendingKind.reset();
    port.retryCount = 0;
    DropQueue(port);
}

void CProjectorLink::ClosePort(PortEntry& port) {
    const bool wasOpen = port.IsOpen();
    port.handle.reset();
    port.deviceLost = false;
    ResetExchange(port);
    if (wasOpen) {
        Report(ExchangeKind::Closed, port);
        Changed();
    }
}

void CProjectorLink::Report(ExchangeKind kind, const PortEntry& port,
                            std::string_view bytes) const {
    if (exchangeSink_) {
        exchangeSink_({kind, port.ComNumber(), port.baudRate, bytes});
    }
}

void CProjectorLink::Changed() {
    if (changeSink_) {
        changeSink_();
    }
}

bool CProjectorLink::ReopenLostDevice(PortEntry& port) {
    PortEntry* const current = currentPort_;
    const bool opened = OpenPort(port);
    currentPort_ = current;
    return opened;
}

void CProjectorLink::ApplyAnswer(PortEntry& port, ExchangeResult result, const std::string& line,
                                 bool endedByEot) {
    const bool isError = result == ExchangeResult::Error;
    const bool isOk = result == ExchangeResult::Ok;
    const QueuedCommand* command =
        port.cursor < port.commandQueue.size() ? &port.commandQueue[port.cursor] : nullptr;
    const bool isPowr =
        command && StartsWithPowr(port.sendBuffer.data() + command->offset, command->length);
    const auto countError = [&] {
        // At least: the scan counts its attempts (RETRY2) in the same counter.
        if (++port.retryCount >= settings_.retry) {
            MoveOn(port, CommandEnd::Rejected, line);
        }
    };

    switch (*port.pendingKind) {
    case AnswerKind::Plain:
        if (isError) {
            countError();
            SetStatus(port, kNoValue);
        } else {
            MoveOn(port, EndAt(result), line);
        }
        break;
    case AnswerKind::Value:
        if (isOk) {
            if (!isPowr) {
                MoveOn(port, CommandEnd::Confirmed, line);
            }
            SetStatus(port, kNoValue);
        } else if (isError) {
            countError();
            SetStatus(port, kNoValue);
        } else {
            const std::int32_t value = DecimalValue(line);
            if (isPowr) {
                port.answerTimeout = value == 1 ? settings_.recTimeoutOn : settings_.recTimeoutOff;
            }
            SetStatus(port, value);
            MoveOn(port, CommandEnd::Answered, line);
        }
        break;
    case AnswerKind::Text:
        if (!port.textAnswer.empty()) {
            port.textAnswer.back() = '\r';
            port.textAnswer.push_back('\n');
        }
        port.textAnswer.insert(port.textAnswer.end(), line.begin(), line.end());
        port.textAnswer.push_back(0);
        if (endedByEot) {
            MoveOn(port, EndAt(result), line);
        }
        break;
    case AnswerKind::Identify:
        if (result == ExchangeResult::Data) {
            port.projectorName = line.substr(0, kMaxProjectorName);
            MoveOn(port, CommandEnd::Answered, line);
        }
        break;
    case AnswerKind::Transfer:
        if (isError) {
            if (++port.retryCount >= settings_.retry) {
                port.retryCount = 0;
                if (command) {
                    EndCommand(*command, CommandEnd::Rejected, line);
                }
                DropQueue(port);
                notifier_.Message(kMessageTransferRejected);
            }
        } else {
            MoveOn(port, EndAt(result), line);
        }
        break;
    default:
        MoveOn(port, EndAt(result), line);
        break;
    }
    if (port.pendingKind != AnswerKind::Text || endedByEot) {
        port.pendingKind.reset();
    }
}

ExchangeResult CProjectorLink::PumpPort(PortEntry& port) {
    // Read before the driver is asked: an answer counts as missing only if the driver held
    // nothing of it after this tick. A tick read later would count the time this program was
    // not running after it asked (a busy machine) as silence of the projector, although the
    // answer may have arrived meanwhile.
    const Tick asked = clock_.Now();
    bool hungUp = false;
    const std::int32_t bytesRead = ReadFromDriver(port, hungUp);
    if (hungUp) {
        Report(ExchangeKind::HungUp, port);
        return ExchangeResult::HungUp;
    }
    ExchangeResult result = ExchangeResult::None;
    if (port.IsAwaitingAnswer()) {
        result = TakeAnswer(port, bytesRead);
    }
    if (port.IsAwaitingAnswer() && AnswerTimedOut(port, asked)) {
        Report(ExchangeKind::TimedOut, port);
        result = ExchangeResult::TimedOut;
    }
    return SendNext(port, result);
}

bool CProjectorLink::AnswerTimedOut(PortEntry& port, Tick now) {
    if (!After(now, port.answerDeadline)) {
        return false;
    }
    if (port.pendingKind == AnswerKind::Text) {
        // The end of a text answer that has no EOT.
        if (port.textAnswer.empty() || port.textAnswer.back() != 0) {
            port.textAnswer.push_back(0);
        }
    } else if (PowerGraceRunning(now)) {
        return false; // the projector may still be powering up
    }
    port.receiveFill = 0;
    port.receivePosition = 0;
    port.partialLine.clear();
    return true;
}

ExchangeResult CProjectorLink::SendNext(PortEntry& port, ExchangeResult result) {
    const Tick now = clock_.Now();
    if (!port.IsAwaitingAnswer() && port.cursor < port.commandQueue.size() && SendDue(port, now)) {
        QueuedCommand& command = port.commandQueue[port.cursor];
        if (!port.writing) {
            // A write that cannot finish (output held, device gone) times out like an answer.
            port.writing = true;
            port.answerDeadline = now + port.answerTimeout;
        }
        WriteSome(port, command);
        if (command.sent < command.length) {
            if (After(now, port.answerDeadline)) {
                command.sent = 0;
                port.writing = false;
                Report(ExchangeKind::TimedOut, port);
                return ExchangeResult::TimedOut;
            }
            return result;
        }
        port.writing = false;
        command.sent = 0;
        Report(ExchangeKind::Sent, port,
               {reinterpret_cast<const char*>(port.sendBuffer.data()) + command.offset,
                static_cast<std::size_t>(command.length)});
        // The wait for the answer starts when the last byte went out, not when this pump
        // began: the write may have been late.
        AwaitAnswer(port, command, clock_.Now());
        return result;
    }

    // Queue end.
    if (port.cursor >= port.commandQueue.size() && !port.IsAwaitingAnswer()) {
        if (!port.commandQueue.empty()) {
            DropQueue(port);
        }
        // Nothing is queued or awaited: lines still held (a second answer, garbage after the
        // last one) answer no command, and must not answer the next operation's first one.
        port.receiveFill = 0;
        port.receivePosition = 0;
        port.partialLine.clear();
    }
    return result;
}

bool CProjectorLink::SendDue(const PortEntry& port, Tick now) const {
    // A pause never lasts longer than this; an earliest-send tick further ahead is left over
    // from before a wrap of the tick count.
    const Tick longestPause = std::max(settings_.recTimeoutErr, kPauseMs);
    return !After(port.earliestSend, now) || port.earliestSend - now > longestPause;
}

void CProjectorLink::WriteSome(PortEntry& port, QueuedCommand& command) {
    if (port.handle->Status().xoffHold) {
        return;
    }
    const std::int32_t rest = command.length - command.sent;
    command.sent += std::clamp<std::int32_t>(
        port.handle->Write(port.sendBuffer.data() + command.offset + command.sent, rest), 0, rest);
}

void CProjectorLink::AwaitAnswer(PortEntry& port, const QueuedCommand& command, Tick now) {
    port.pendingKind = command.kind;
    const std::uint8_t* bytes = port.sendBuffer.data() + command.offset;
    switch (command.kind) {
    case AnswerKind::Plain:
        if (StartsWithPowr(bytes, command.length)) {
            port.answerTimeout = settings_.recTimeoutOff;
            powerCommandTime_ = now;
        }
        [[fallthrough]];
    case AnswerKind::Value:
        // Each port keeps the code of its own command: answers on other ports never reach it.
        port.statusKey = KeyOf(bytes, command.length);
        // A code entered here has no value until the projector answers one: 0 would read as a
        // value (a projector switched off, for "POWR").
        if (!Status().Find(port.statusKey)) {
            Status().FindOrAdd(port.statusKey).value = kNoValue;
        }
        break;
    case AnswerKind::Text:
        port.textAnswer.clear();
        break;
    default:
        break;
    }
    port.answerDeadline = now + port.answerTimeout;
}

bool CProjectorLink::PowerGraceRunning(Tick now) {
    // Once over, the grace period is forgotten: the tick count comes round to the same values
    // every 2^32 ms, and the window must not open again then.
    if (powerCommandTime_ != 0 && now - powerCommandTime_ > settings_.powerOnWait) {
        powerCommandTime_ = 0;
    }
    return powerCommandTime_ != 0;
}

std::optional<Tick> CProjectorLink::PortDeadline(const PortEntry& port, Tick now) const {
    std::optional<Tick> due;
    const auto consider = [&due](Tick tick) {
        if (!due || After(*due, tick)) {
            due = tick;
        }
    };
    if (port.handle->Descriptor() < 0) {
        consider(now + kPollMs);
    }
    if (port.IsAwaitingAnswer()) {
        if (port.receivePosition < port.receiveFill) {
            consider(now); // one line is handled per pump: the next one waits in the buffer
        }
        // The answer is missing once now is past the deadline, unless a power command's grace
        // period still runs then.
        Tick missing = port.answerDeadline + 1;
        if (port.pendingKind != AnswerKind::Text && powerCommandTime_ != 0) {
            const Tick graceEnd = powerCommandTime_ + settings_.powerOnWait + 1;
            if (After(graceEnd, missing)) {
                missing = graceEnd;
            }
        }
        consider(missing);
    } else if (port.writing) {
        consider(now + kPollMs); // the driver took only part of the command
    } else if (port.cursor < port.commandQueue.size()) {
        consider(SendDue(port, now) ? now : port.earliestSend);
    } else if (!port.commandQueue.empty()) {
        consider(now); // the queue is done and is emptied
    }
    return due;
}

std::optional<Tick> CProjectorLink::NextDeadline() const {
    const Tick now = clock_.Now();
    if (scanning_ && std::none_of(ports_.begin(), ports_.end(), [](const PortEntry& port) {
            return port.IsOpen() && port.probing;
        })) {
        return now; // the scan ends at the next pass
    }
    std::optional<Tick> due;
    for (const PortEntry& port : ports_) {
        if (!port.IsOpen()) {
            continue;
        }
        const std::optional<Tick> tick = PortDeadline(port, now);
        if (tick && (!due || After(*due, *tick))) {
            due = tick;
        }
    }
    return due;
}

std::vector<int> CProjectorLink::ReadinessDescriptors() const {
    std::vector<int> descriptors;
    for (const PortEntry& port : ports_) {
        if (port.IsOpen() && port.handle->Descriptor() >= 0) {
            descriptors.push_back(port.handle->Descriptor());
        }
    }
    return descriptors;
}

bool CProjectorLink::Service() {
    PowerGraceRunning(clock_.Now());
    if (scanning_) {
        return ServiceScan();
    }
    bool dropped = false;
    for (PortEntry& port : ports_) {
        if (!port.IsOpen()) {
            continue;
        }
        const ExchangeResult result = PumpPort(port);
        if (result == ExchangeResult::HungUp) {
            // The device is gone (an unplugged adapter): nothing queued can reach it, and a
            // device that comes back is opened afresh.
            dropped = IsBusy(&port) || dropped;
            ClosePort(port);
            port.deviceLost = true;
            continue;
        }
        if (result != ExchangeResult::TimedOut) {
            continue;
        }
        if (port.pendingKind == AnswerKind::Text) {
            // The normal end of a text answer without EOT.
            MoveOn(port, CommandEnd::Answered);
        } else if (++port.retryCount < settings_.retry) {
            port.pendingKind.reset();
            continue;
        } else {
            ++port.cursor;
            DropQueue(port);
            dropped = true;
        }
        port.retryCount = 0;
        port.pendingKind.reset();
    }
    return dropped;
}

} // namespace tonedesk
