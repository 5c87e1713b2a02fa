#include "ProjectorSimulator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace tonedesk::sim {

namespace {

constexpr std::uint8_t kCr = 13;
constexpr std::uint8_t kLf = 10;
constexpr char kEot = 4;
// Longer commands are not kept whole: they are wrong anyway.
constexpr std::size_t kMaxCommand = 64;
// What a projector sends when its line is disturbed: printable, so it makes a whole line.
constexpr std::string_view kGarbageLine = "\xA7#\xFE?GARBLED?\xFE#\xA7\r";
// Control bytes mixed into answers by the noise fault; a receiver must drop them.
constexpr std::uint8_t kNoiseBytes[] = {0, kLf, 7};

// "%4d" read back: optional blanks, an optional minus, digits, nothing else.
std::optional<int> ParseParameter(std::string_view p) {
    std::size_t i = 0;
    while (i < p.size() && p[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < p.size() && p[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == p.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (; i < p.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(p[i]))) {
            return std::nullopt;
        }
        value = value * 10 + (p[i] - '0');
    }
    return negative ? -value : value;
}

// A command or answer as a readable log text: control bytes as <n>.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) {
            out += '<' + std::to_string(u) + '>';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::uint8_t GammaChecksum(const std::uint8_t* data, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += data[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string
FormatGammaDump(const std::array<std::optional<std::vector<std::uint8_t>>, kGammaTables>& blocks) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (int table = 0; table < kGammaTables; ++table) {
        if (!blocks[table]) {
            continue;
        }
        out += std::to_string(table);
        out += ' ';
        for (const std::uint8_t b : *blocks[table]) {
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        out += '\n';
    }
    return out;
}

ProjectorSimulator::ProjectorSimulator(SimulatorOptions options) : options_(std::move(options)) {
    values_ = options_.values;
    values_["POWR"] = options_.power;
    values_["MOUT"] = options_.menu;
}

Nanos ProjectorSimulator::ByteTime() const {
    // 8 data bits with a start and a stop bit.
    return options_.baud > 0 ? 10ULL * 1000000000ULL / static_cast<Nanos>(options_.baud) : 0;
}

void ProjectorSimulator::Log(const std::string& line) const {
    if (onLog) {
        onLog(line);
    }
}

void ProjectorSimulator::Receive(const std::uint8_t* data, std::size_t size, int lineBaud,
                                 Nanos now) {
    if (size == 0) {
        return;
    }
    if (lineBaud != options_.baud) {
        // At the wrong rate the projector sees noise; whatever it had of a command is spoilt.
        dropped_ += size;
        command_.clear();
        Log("dropped " + std::to_string(size) + " bytes received at " + std::to_string(lineBaud) +
            " bit/s");
        return;
    }
    bytesIn_ += size;
    for (std::size_t i = 0; i < size; ++i) {
        Nanos at = now;
        if (options_.wireTime) {
            at = std::max(now, lastIn_) + ByteTime();
        }
        lastIn_ = at;
        received_.push_back({at, data[i]});
    }
}

std::vector<std::uint8_t> ProjectorSimulator::Transmit(Nanos now) {
    while (!received_.empty() && received_.front().at <= now) {
        const Pending p = received_.front();
        received_.pop_front();
        HandleByte(p.byte, p.at);
    }
    std::vector<std::uint8_t> out;
    while (!outgoing_.empty() && outgoing_.front().at <= now) {
        out.push_back(outgoing_.front().byte);
        outgoing_.pop_front();
    }
    return out;
}

std::optional<Nanos> ProjectorSimulator::NextEvent() const {
    std::optional<Nanos> next;
    if (!received_.empty()) {
        next = received_.front().at;
    }
    if (!outgoing_.empty() && (!next || outgoing_.front().at < *next)) {
        next = outgoing_.front().at;
    }
    return next;
}

bool ProjectorSimulator::HungUp() const {
    return options_.hangUpAfter > 0 && commands_ >= options_.hangUpAfter && outgoing_.empty();
}

bool ProjectorSimulator::Unplugged() const {
    return options_.unplugAfterBytes > 0 && bytesIn_ >= options_.unplugAfterBytes;
}

std::optional<std::size_t> ProjectorSimulator::BytesBeforeUnplug() const {
    if (options_.unplugAfterBytes == 0) {
        return std::nullopt;
    }
    return options_.unplugAfterBytes - std::min(bytesIn_, options_.unplugAfterBytes);
}

void ProjectorSimulator::SwitchOff() {
    Log("switched off at its own button");
    values_["POWR"] = 0;
    values_["MOUT"] = 0;
}

void ProjectorSimulator::ComeBack() {
    Log("the line is back");
    options_.hangUpAfter = 0;
    options_.unplugAfterBytes = 0;
    received_.clear();
    outgoing_.clear();
    command_.clear();
    blockTable_ = -1;
    block_.clear();
}

bool ProjectorSimulator::FaultsActive() const {
    return commands_ >= options_.faultsFrom &&
           (options_.faultsFor == 0 || commands_ < options_.faultsFrom + options_.faultsFor);
}

std::optional<int> ProjectorSimulator::ValueOf(std::string_view code) const {
    const auto it = values_.find(std::string(code));
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void ProjectorSimulator::HandleByte(std::uint8_t byte, Nanos at) {
    if (blockTable_ >= 0 && at - lastBlockByte_ > options_.blockTimeout) {
        Log("gamma block " + std::to_string(blockTable_) + " abandoned after " +
            std::to_string(block_.size()) + " bytes");
        blockTable_ = -1;
        block_.clear();
    }
    if (blockTable_ >= 0) {
        block_.push_back(byte);
        lastBlockByte_ = at;
        if (block_.size() == kGammaBlockBytes) {
            HandleBlock(at);
        }
        return;
    }
    if (byte == kCr) {
        const std::string command = std::move(command_);
        command_.clear();
        HandleCommand(command, at);
    } else if (byte != kLf && command_.size() < kMaxCommand) {
        command_ += static_cast<char>(byte);
    }
}

bool ProjectorSimulator::InjectError(const std::string& code) {
    if (!FaultsActive()) {
        return false;
    }
    if (options_.errEvery > 0 && commands_ % options_.errEvery == 0) {
        return true;
    }
    const auto it = options_.errCodes.find(code);
    if (it == options_.errCodes.end() || it->second == 0) {
        return false;
    }
    if (it->second > 0) {
        --it->second;
    }
    return true;
}

void ProjectorSimulator::HandleCommand(const std::string& command, Nanos at) {
    if ((options_.hangUpAfter > 0 && commands_ >= options_.hangUpAfter) || mainsOff_) {
        return; // hanging up, or no power: deaf
    }
    ++commands_;
    Log("<< " + Printable(command));
    if (options_.silent && FaultsActive()) {
        return;
    }
    if (at < warmUpEnd_) {
        Log("   (warming up: no answer)");
        return;
    }
    if (InjectError(command.substr(0, 4))) {
        SendAnswer("ERR\r", at);
        return;
    }
    SendAnswer(AnswerCommand(command, at), at);
}

void ProjectorSimulator::HandleBlock(Nanos at) {
    if ((options_.hangUpAfter > 0 && commands_ >= options_.hangUpAfter) || mainsOff_) {
        block_.clear();
        return;
    }
    ++commands_;
    const int table = blockTable_;
    Log("<< gamma block " + std::to_string(table));
    std::vector<std::uint8_t> block(std::move(block_));
    block_.clear();
    lastBlockByte_ = at;
    if (options_.silent && FaultsActive()) {
        return;
    }
    if (InjectError(std::string(kBlockErrCode))) {
        SendAnswer("ERR\r", at);
        return;
    }
    if (GammaChecksum(block.data(), kGammaDataBytes) != block[kGammaDataBytes]) {
        Log("   checksum wrong");
        SendAnswer("ERR\r", at);
        return;
    }
    gamma_[table] = std::move(block);
    blockTable_ = -1;
    if (onGammaBlock) {
        onGammaBlock(table);
    }
    SendAnswer("OK\r", at);
}

std::string ProjectorSimulator::AnswerCommand(const std::string& command, Nanos at) {
    if (command.size() != 8) {
        return "ERR\r";
    }
    const std::string code = command.substr(0, 4);
    const std::string_view parameter = std::string_view(command).substr(4);
    if (code == "TNAM") {
        return options_.name + "\r";
    }
    if (code == options_.textCommand) {
        std::string text;
        for (const auto& line : options_.textLines) {
            if (!text.empty()) {
                text += '\r';
            }
            text += line;
        }
        return text + kEot;
    }
    if (parameter == "????") {
        const auto value = ValueOf(code);
        return value ? std::to_string(*value) + "\r" : "ERR\r";
    }
    const auto value = ParseParameter(parameter);
    if (!value) {
        return "ERR\r";
    }
    if (code == "GAMM") {
        if (*value < 0 || *value >= kGammaTables || options_.refusedBlocks.count(*value) != 0) {
            return "ERR\r";
        }
        blockTable_ = *value;
        block_.clear();
        lastBlockByte_ = at;
        return "OK\r";
    }
    if (code == "MOUT" && values_["POWR"] != 1) {
        return "ERR\r"; // no menu while the projector is off
    }
    if (code == "POWR") {
        if (*value == 1 && values_["POWR"] != 1 && options_.warmUp > 0) {
            warmUpEnd_ = at + options_.warmUp;
        }
        if (*value == 0) {
            values_["MOUT"] = 0;
        }
    }
    values_[code] = *value;
    return "OK\r";
}

void ProjectorSimulator::SendAnswer(std::string answer, Nanos at) {
    ++answers_;
    if (!FaultsActive()) {
        Log(">> " + Printable(answer));
        Queue(answer, at, 0);
        return;
    }
    if (options_.longEvery > 0 && answers_ % options_.longEvery == 0) {
        answer = std::string(kLongLineLength, 'X') + "\r";
    }
    if (options_.garbageEvery > 0 && answers_ % options_.garbageEvery == 0) {
        answer.insert(0, kGarbageLine);
    }
    Log(">> " + Printable(answer.size() > 80 ? answer.substr(0, 80) + "..." : answer));
    if (options_.noise) {
        std::string mixed;
        for (std::size_t i = 0; i < answer.size(); ++i) {
            mixed += static_cast<char>(kNoiseBytes[i % std::size(kNoiseBytes)]);
            mixed += answer[i];
        }
        answer = std::move(mixed);
    }
    const Nanos start = at + options_.delay;
    if (options_.splitGap > 0 && answer.size() > 1) {
        const std::size_t half = answer.size() / 2;
        Queue(std::string_view(answer).substr(0, half), start, options_.byteGap);
        Queue(std::string_view(answer).substr(half), start + options_.splitGap, options_.byteGap);
    } else {
        Queue(answer, start, options_.byteGap);
    }
}

void ProjectorSimulator::Queue(std::string_view bytes, Nanos at, Nanos gap) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        Nanos t = std::max(at, lastOut_);
        if (i > 0) {
            t = std::max(t, lastOut_ + gap);
        }
        if (options_.wireTime) {
            t += ByteTime();
        }
        lastOut_ = t;
        outgoing_.push_back({t, static_cast<std::uint8_t>(c)});
    }
}

} // namespace tonedesk::sim
