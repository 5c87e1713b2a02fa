// Fuzz target of the link's exchange engine (see common/FuzzDriver.h). The input is a script for
// a link on virtual time with three scripted ports, COM1..COM3. Its first byte picks the link
// settings; then each step is an operation byte and its arguments (line: op / 16 % 3):
//   op % 16  0-2  answer bytes on the line: a length byte, then that many bytes
//            3    a typical answer (kAnswers) on the line: one byte picks it
//            4-5  the clock moves on by a byte's worth of ms, then Service
//            6    the clock moves on by 64 x a byte ms, then Service
//            7    byte % 16 + 1 Service calls, 1 ms apart
//            8-9  a command queued: kind, command and port bytes (port 0: the current one)
//            10   SendValue: command and pause bytes
//            11   an event of the line's port: a byte picks it
//            12   the link: a new scan, a probe, the end of the scanning mode, a port used or the
//                 others closed; a byte picks it
// After every step the engine's invariants are checked (CheckLink). When the script ends the
// peers fall silent, and every port must become idle within the time-outs.
#include "common/FakeSerialPort.h"
#include "common/FuzzDriver.h"
#include "link/ProjectorLink.h"
#include "support/Notifier.h"
#include "support/Settings.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk;
using tonedesk::test::FakeLine;
using tonedesk::test::FakeSerialPortFactory;
using tonedesk::test::FuzzCheck;

namespace {

constexpr int kLines = 3;

struct Profile {
    std::int32_t retry, retry2, powerOnRetry;
    std::int32_t timeoutOn, timeoutOff, timeoutErr, powerOnTime, powerOnWait;
    Tick start;
};
// Small counts, so that the link keeps the outcome of every command a script can queue.
constexpr Profile kProfiles[] = {
    {3, 2, 2, 200, 120, 60, 360, 400, 1000},
    {1, 1, 1, 0, 0, 0, 0, 0, 1000},
    {2, 2, 1, 30, 50, 250, 90, 1000, 0xFFFFF000}, // the tick count wraps during the script
    {4, 1, 2, 1000, 700, 250, 100, 3000, 0xFFFFFF00},
};

const std::string_view kAnswers[] = {"OK\r",           "ERR\r",          "1\r",    "0\r\n",  "-5\r",
                                     "\x04",           "A\rB\r",         "C\x04",  "PJ-7\r", "\r",
                                     "123456789012\r", "-99999999999\r", " +42\r", "O",      "K\r",
                                     "\n\n",           "\x7f\x80\xff\r"};

const char* const kCodes[] = {"POWR", "MOUT", "TNAM", "GAMM", "BRIG", "STAT"};
const char* const kParameters[] = {"????", "   1", "   0", "  12"};
constexpr AnswerKind kKinds[] = {AnswerKind::Plain, AnswerKind::Value, AnswerKind::Text,
                                 AnswerKind::Identify, AnswerKind::Transfer};

constexpr int kMostCommands = 60; // queued by the script
constexpr int kMostScans = 3;     // scans and probes

// Whether the engine could have read `value` as an answer line from these bytes: the digits of
// the value (and its sign) in order among them, then a line end. The engine may have lost any
// bytes in between (line errors, time-outs, bytes arriving while nothing is awaited); a line
// without digits reads as 0, and a number beyond the int32 range as its limit.
bool CouldAnswer(const std::string& bytes, std::int32_t value) {
    std::size_t at = 0;
    const auto find = [&](std::string_view any) {
        at = at == std::string::npos ? at : bytes.find_first_of(any, at);
        if (at != std::string::npos) {
            ++at;
        }
    };
    if (value == INT_MIN) {
        find("-");
        for (int digit = 0; digit < 10; ++digit) {
            find("0123456789");
        }
    } else if (value != 0) {
        for (const char c : std::to_string(value)) {
            find(std::string_view(&c, 1));
        }
    }
    find(std::string_view("\r\x04", 2));
    return at != std::string::npos;
}

class Script {
public:
    explicit Script(std::string_view input) : input_(input) {
        const Profile& p = kProfiles[Next() % std::size(kProfiles)];
        profile_ = p;
        settings_.SetInt(kEnvSection, "RETRY", p.retry);
        settings_.SetInt(kEnvSection, "RETRY2", p.retry2);
        settings_.SetInt(kEnvSection, "POWERON_RETRY", p.powerOnRetry);
        settings_.SetInt(kEnvSection, "REC_TIMEOUT_ON", p.timeoutOn);
        settings_.SetInt(kEnvSection, "REC_TIMEOUT_OFF", p.timeoutOff);
        settings_.SetInt(kEnvSection, "REC_TIMEOUT_ERR", p.timeoutErr);
        settings_.SetInt(kEnvSection, "POWERON_TIME", p.powerOnTime);
        settings_.SetInt(kEnvSection, "POWERON_WAIT", p.powerOnWait);
        clock_.Set(p.start);
        for (int com = 1; com <= kLines; ++com) {
            lines_[com - 1] = ports_.AddLine(com);
        }
        link_ = std::make_unique<CProjectorLink>(settings_, clock_, ports_, notifier_);
        link_->ScanPorts();
        ++scans_;
    }

    void Run() {
        CheckLink();
        while (at_ < input_.size()) {
            const auto before = PendingIds();
            Step(Next());
            CheckQueues(before);
            CheckLink();
        }
        Drain();
    }

private:
    std::uint8_t Next() {
        return at_ < input_.size() ? static_cast<std::uint8_t>(input_[at_++]) : 0;
    }

    PortEntry* Port(int com) { return link_->Port(com); }

    void Feed(int com, std::string_view bytes) {
        lines_[com - 1]->Feed(bytes);
        received_[com] += bytes;
    }

    void Service(Tick ms) {
        clock_.Advance(ms);
        link_->Service();
    }

    void Step(std::uint8_t op) {
        const int com = op / 16 % kLines + 1;
        FakeLine& line = *lines_[com - 1];
        switch (op % 16) {
        case 0:
        case 1:
        case 2: {
            const std::size_t n = std::min<std::size_t>(Next(), input_.size() - at_);
            Feed(com, input_.substr(at_, n));
            at_ += n;
            break;
        }
        case 3:
            Feed(com, kAnswers[Next() % std::size(kAnswers)]);
            break;
        case 4:
        case 5:
            Service(Next());
            break;
        case 6:
            Service(64u * Next());
            break;
        case 7:
            for (int n = Next() % 16 + 1; n > 0; --n) {
                Service(1);
            }
            break;
        case 8:
        case 9: {
            const std::uint8_t kind = Next();
            const std::uint8_t command = Next();
            Queue(kind, command, Next());
            break;
        }
        case 10: {
            const std::uint8_t which = Next();
            const PortEntry* current = link_->CurrentPort();
            if (commands_ < kMostCommands && current) {
                ++commands_;
                const std::string_view code = kCodes[which % std::size(kCodes)];
                queried_.insert({CodeKey(code), current->ComNumber()});
                const std::int32_t values[] = {kNoValue, 1, 0, -999, 9999, 10000};
                link_->SendValue(code.data(), values[which / 8 % 6], Next() & 1);
            }
            break;
        }
        case 11: {
            const std::uint8_t event = Next();
            switch (event % 8) {
            case 0:
                line.hungUp = true;
                break;
            case 1:
                line.hungUp = false;
                break;
            case 2:
                line.errors = event / 8 & 0x3F;
                break;
            case 3:
                line.errorsInData = event / 8 & 0x3F;
                break;
            case 4:
                line.xoffHold = !line.xoffHold;
                break;
            case 5:
                line.writeLimit = event / 8 % 12 - 1;
                break;
            case 6:
                line.claimsWaiting = event / 8 % 3;
                break;
            default:
                line.refuseOpen = !line.refuseOpen;
                break;
            }
            break;
        }
        case 12:
            LinkEvent(com, Next());
            break;
        default:
            Service(1);
            break;
        }
    }

    // A command of any kind: 9-byte text commands, short ones and gamma data blocks.
    void Queue(std::uint8_t kindByte, std::uint8_t commandByte, std::uint8_t portByte) {
        if (commands_ >= kMostCommands) {
            return;
        }
        ++commands_;
        const AnswerKind kind = kKinds[kindByte % std::size(kKinds)];
        textCommands_ += kind == AnswerKind::Text ? 1 : 0;
        std::string bytes = std::string(kCodes[commandByte % std::size(kCodes)]) +
                            kParameters[commandByte / 8 % std::size(kParameters)] + "\r";
        switch (commandByte / 32 % 8) {
        case 0:
            bytes.clear();
            break;
        case 1:
            bytes.resize(3);
            break;
        case 2:
            bytes.assign(257, static_cast<char>(commandByte));
            break;
        default:
            break;
        }
        // (Null would mean the current port: a port not in the table gets nothing.)
        PortEntry* port = portByte % 4 == 0 ? link_->CurrentPort() : Port(portByte % 4);
        if (!port) {
            return;
        }
        if (kind == AnswerKind::Value) {
            queried_.insert({CodeKey(std::string_view(bytes).substr(0, 4)), port->ComNumber()});
        }
        link_->QueueCommand(bytes.data(), static_cast<std::int32_t>(bytes.size()), kind,
                            kindByte / 8 & 1, port);
    }

    void LinkEvent(int com, std::uint8_t event) {
        switch (event % 5) {
        case 0:
            if (scans_ < kMostScans) {
                ++scans_;
                link_->ScanPorts();
            }
            break;
        case 1:
            if (PortEntry* port = Port(com); port && scans_ < kMostScans) {
                ++scans_;
                const std::int32_t rates[] = {38400, 9600};
                link_->StartProbe(*port, std::span(rates, event / 8 % 2 + 1));
            }
            break;
        case 2:
            link_->StopScanning();
            break;
        case 3:
            link_->UsePort(com);
            break;
        default:
            link_->CloseOtherPorts(com - 1);
            break;
        }
    }

    // The commands left at and after each open port's cursor, by COM number.
    std::map<int, std::vector<CommandId>> PendingIds() const {
        std::map<int, std::vector<CommandId>> ids;
        for (const PortEntry& port : link_->Ports()) {
            auto& list = ids[port.ComNumber()];
            for (std::size_t i = port.cursor; i < port.commandQueue.size(); ++i) {
                list.push_back(port.commandQueue[i].id);
            }
        }
        return ids;
    }

    CommandEnd End(CommandId id) const {
        const auto outcome = link_->Outcome(id);
        FuzzCheck(outcome.has_value(), "the outcome of every command is kept");
        return outcome->end;
    }

    // A queue only shrinks from its front by commands that ended, or all at once by a drop;
    // what is left keeps its order, and new commands come after it.
    void CheckQueues(const std::map<int, std::vector<CommandId>>& before) {
        const auto after = PendingIds();
        for (const auto& [com, was] : before) {
            const auto it = after.find(com);
            const std::vector<CommandId> none;
            const std::vector<CommandId>& is = it == after.end() ? none : it->second;
            std::size_t gone = 0;
            while (gone < was.size() && (is.empty() || is.front() != was[gone])) {
                FuzzCheck(End(was[gone]) != CommandEnd::Pending,
                          "a command left its queue unended");
                ++gone;
            }
            FuzzCheck(std::equal(was.begin() + gone, was.end(), is.begin(),
                                 is.begin() + std::min(is.size(), was.size() - gone)) &&
                          is.size() >= was.size() - gone,
                      "the rest of a queue keeps its order");
            for (std::size_t i = was.size() - gone; i < is.size(); ++i) {
                FuzzCheck(was.empty() || is[i] > was.back(), "new commands come last");
            }
        }
        for (const auto& [com, is] : after) {
            for (const CommandId id : is) {
                FuzzCheck(End(id) == CommandEnd::Pending, "a queued command has not ended");
            }
        }
    }

    void CheckLink() const {
        for (const PortEntry& port : link_->Ports()) {
            FuzzCheck(port.cursor <= port.commandQueue.size(), "cursor within the queue");
            for (const QueuedCommand& command : port.commandQueue) {
                FuzzCheck(command.offset >= 0 && command.length >= 0 &&
                              static_cast<std::size_t>(command.offset) + command.length <=
                                  port.sendBuffer.size() &&
                              command.sent >= 0 && command.sent <= command.length,
                          "command within the send buffer");
            }
            // The receive buffer stays bounded whatever the peer sends.
            FuzzCheck(port.receivePosition >= 0 && port.receivePosition <= port.receiveFill &&
                          static_cast<std::size_t>(port.receiveFill) <= port.receiveBuffer.size(),
                      "receive marks within the buffer");
            FuzzCheck(static_cast<std::uint32_t>(port.receiveFill - port.receivePosition) <=
                          kMaxReadPerPump,
                      "received bytes held");
            FuzzCheck(port.receiveBuffer.size() <= 2 * kMaxReadPerPump, "receive buffer size");
            FuzzCheck(port.partialLine.size() <= kMaxAnswerLine, "answer line length");
            FuzzCheck(port.projectorName.size() <= kMaxProjectorName, "projector name length");
            FuzzCheck(port.IsOpen() || (!port.IsAwaitingAnswer() && port.commandQueue.empty()),
                      "a closed port holds nothing");
        }
        // A status value is unknown, or the answer to a query of its code on a port whose bytes
        // could give it.
        for (const auto& entry : link_->Status().Entries()) {
            bool answered = entry.value == kNoValue;
            for (int com = 1; com <= kLines && !answered; ++com) {
                answered = queried_.count({entry.key, com}) != 0 &&
                           CouldAnswer(received_.count(com) ? received_.at(com) : "", entry.value);
            }
            FuzzCheck(answered, "a status value that no answer gave");
        }
    }

    bool Busy() const {
        return link_->Scanning() ||
               std::any_of(link_->Ports().begin(), link_->Ports().end(),
                           [&](const PortEntry& p) { return link_->IsBusy(&p); });
    }

    // The peers fall silent: what was sent is read, every command is answered, retried or
    // dropped, and the scan ends, all within the time-outs.
    void Drain() {
        const Profile& p = profile_;
        constexpr Tick kStep = 3;
        const Tick timeout = std::max(p.timeoutOn, p.timeoutOff);
        const Tick pause = std::max<Tick>(p.timeoutErr, kPauseMs);
        const Tick probeTimeout = p.powerOnTime / (p.retry2 * 3);
        std::size_t lineEnds = 0;
        for (const auto& [com, bytes] : received_) {
            lineEnds += std::count_if(bytes.begin(), bytes.end(),
                                      [](char c) { return c == '\r' || c == '\x04'; });
        }
        // The command at the cursor, retried until its queue is dropped; the lines still
        // buffered, one a pump, each possibly followed by a pause; every text command, ended by
        // its time-out; a scan, every probe timed out.
        const Tick bound = (p.retry + 1) * (p.powerOnWait + 2 * timeout + pause + 4 * kStep) +
                           static_cast<Tick>(lineEnds) * (pause + 3 * kStep) +
                           static_cast<Tick>(textCommands_) * (2 * timeout + pause + 4 * kStep) +
                           (p.powerOnRetry * 3 * p.retry2 + 1) * (2 * probeTimeout + 4 * kStep);
        Tick waited = 0;
        while (Busy()) {
            FuzzCheck(waited <= bound, "the link stays busy after the input ended");
            Service(kStep);
            waited += kStep;
            CheckLink();
        }
    }

    std::string_view input_;
    std::size_t at_ = 0;
    Profile profile_{};
    MemorySettings settings_;
    ManualClock clock_;
    FakeSerialPortFactory ports_;
    SilentNotifier notifier_;
    std::array<std::shared_ptr<FakeLine>, kLines> lines_;
    std::unique_ptr<CProjectorLink> link_;
    std::map<int, std::string> received_;             // every byte sent by each COM's peer
    std::set<std::pair<std::uint32_t, int>> queried_; // Value commands queued: code, COM
    int commands_ = 0;
    int textCommands_ = 0;
    int scans_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script(std::string_view(reinterpret_cast<const char*>(data), size)).Run();
    return 0;
}

std::vector<std::string> tonedesk::test::FuzzTokens() {
    // Operations with their arguments: answers on a line, time, queued commands, events.
    using namespace std::string_view_literals;
    std::vector<std::string> tokens;
    for (std::string_view step :
         {"\x03\x00"sv,     "\x13\x01"sv, "\x23\x02"sv,     "\x04\x05"sv,     "\x05\xff"sv,
          "\x06\x10"sv,     "\x07\x0f"sv, "\x08\x01\x00"sv, "\x09\x02\x40"sv, "\x08\x04\x61"sv,
          "\x0a\x00\x01"sv, "\x0b\x00"sv, "\x0b\x01"sv,     "\x0b\x1a"sv,     "\x0b\x04"sv,
          "\x0c\x00"sv,     "\x0c\x02"sv, "\x0c\x03"sv,     "\x0c\x04"sv,     "\x0c\x01"sv}) {
        tokens.emplace_back(step);
    }
    for (std::string_view answer : kAnswers) {
        tokens.push_back(std::string(1, '\0') + static_cast<char>(answer.size()) +
                         std::string(answer));
    }
    return tokens;
}
