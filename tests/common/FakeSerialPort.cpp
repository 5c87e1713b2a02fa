#include "common/FakeSerialPort.h"

#include <algorithm>
#include <utility>

namespace tonedesk::test {

void FakeLine::Feed(std::string_view bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
}

void FakeLine::Feed(const ByteBuffer& bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
}

void FakeLine::Reply(std::string command, std::string answer, int atBaudRate, int times) {
    rules.push_back({std::move(command), std::move(answer), atBaudRate, times});
}

std::string FakeLine::WrittenText() const {
    return std::string(written.begin(), written.end());
}

void FakeLine::ClearWritten() {
    written.clear();
    writeSizes.clear();
}

FakeSerialPort::FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {
    line_->open = true;
    ++line_->openCount;
}

FakeSerialPort::~FakeSerialPort() {
    line_->open = false;
}

bool FakeSerialPort::Configure(int baudRate) {
    line_->baudRate = baudRate;
    line_->configured.push_back(baudRate);
    return true;
}

PortStatus FakeSerialPort::Status() {
    PortStatus status;
    status.errors = line_->errors;
    line_->errors = 0;
    status.xoffHold = line_->xoffHold;
    status.waiting = line_->claimsWaiting;
    if (line_->hungUp) {
        status.errors |= kPortIoError;
    } else {
        status.waiting += static_cast<std::uint32_t>(line_->incoming.size());
    }
    if (const auto stall = std::exchange(line_->afterStatus, nullptr)) {
        stall();
    }
    return status;
}

int FakeSerialPort::Read(std::uint8_t* data, int size) {
    if (line_->hungUp || size <= 0) {
        return 0;
    }
    const int n = std::min<int>(size, static_cast<int>(line_->incoming.size()));
    std::copy_n(line_->incoming.begin(), n, data);
    line_->incoming.erase(line_->incoming.begin(), line_->incoming.begin() + n);
    readErrors_ = n > 0 ? std::exchange(line_->errorsInData, 0) : 0;
    return n;
}

std::uint32_t FakeSerialPort::TakeReadErrors() {
    return std::exchange(readErrors_, 0);
}

int FakeSerialPort::Write(const std::uint8_t* data, int size) {
    if (const auto stall = std::exchange(line_->beforeWrite, nullptr)) {
        stall();
    }
    int n = std::max(size, 0);
    if (line_->hungUp || line_->xoffHold) {
        n = 0;
    } else if (line_->writeLimit >= 0) {
        n = std::min(n, line_->writeLimit);
    }
    line_->writeSizes.push_back(n);
    line_->written.insert(line_->written.end(), data, data + n);
    line_->pendingCommand.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
    // The first rule for this command and the line's rate answers it; at another rate the
    // command is heard as noise and gets no answer.
    bool heard = false;
    for (FakeLine::Rule& rule : line_->rules) {
        const std::string& pending = line_->pendingCommand;
        if (rule.remaining == 0 || pending.size() < rule.command.size() ||
            pending.compare(pending.size() - rule.command.size(), rule.command.size(),
                            rule.command) != 0) {
            continue;
        }
        heard = true;
        if (rule.baudRate != 0 && rule.baudRate != line_->baudRate) {
            continue;
        }
        if (rule.remaining > 0) {
            --rule.remaining;
        }
        line_->Feed(rule.answer);
        break;
    }
    if (heard) {
        line_->pendingCommand.clear();
    }
    return n;
}

void FakeSerialPort::Purge() {
    ++line_->purgeCount;
    line_->incoming.clear();
    line_->pendingCommand.clear();
}

std::shared_ptr<FakeLine> FakeSerialPortFactory::AddLine(int comNumber) {
    auto& line = lines_[comNumber];
    if (!line) {
        line = std::make_shared<FakeLine>();
        line->comNumber = comNumber;
    }
    return line;
}

std::shared_ptr<FakeLine> FakeSerialPortFactory::Line(int comNumber) const {
    const auto it = lines_.find(comNumber);
    return it == lines_.end() ? nullptr : it->second;
}

std::string FakeSerialPortFactory::DevicePath(int comNumber) const {
    return Line(comNumber) ? "fake:COM" + std::to_string(comNumber) : std::string();
}

std::unique_ptr<SerialPort> FakeSerialPortFactory::Open(int comNumber) {
    openAttempts.push_back(comNumber);
    const auto line = Line(comNumber);
    lastError_ = line && line->refuseOpen ? line->refusal : PortOpenError::kFailed;
    if (!line || line->refuseOpen || line->open) {
        return nullptr;
    }
    return std::make_unique<FakeSerialPort>(line);
}

} // namespace tonedesk::test
