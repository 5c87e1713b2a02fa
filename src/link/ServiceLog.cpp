#include "link/ServiceLog.h"

#include "gamma/GammaTransfer.h"
#include "support/FileReplace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>

namespace tonedesk {

namespace {

// Announce bytes "GAMM%4d\r": its block number, or -1 for any other command.
int AnnouncedBlock(std::string_view bytes) {
    if (bytes.size() != kGammaAnnounceSize || !bytes.starts_with("GAMM") || bytes.back() != '\r') {
        return -1;
    }
    int block = 0;
    bool digits = false;
    for (const char c : bytes.substr(4, 4)) {
        if (c >= '0' && c <= '9') {
            block = block * 10 + (c - '0');
            digits = true;
        } else if (c != ' ' || digits) {
            return -1;
        }
    }
    return digits ? block : -1;
}

bool ChecksumOk(std::string_view block) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.data());
    return GammaChecksum({bytes, block.size() - 1}) == bytes[block.size() - 1];
}

void AppendBytes(std::string& line, std::string_view bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b > 126 || b == '<') {
            line += '<' + std::to_string(b) + '>';
        } else {
            line += c;
        }
    }
}

std::int64_t SystemMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

ServiceLog::ServiceLog(const Clock& ticks, WallTime wall)
    : ticks_(ticks), wall_(wall ? std::move(wall) : WallTime(SystemMs)) {}

ServiceLog::~ServiceLog() {
    for (auto& [comNumber, part] : received_) {
        EndReceived(comNumber, part);
    }
    Flush();
}

void ServiceLog::SetFile(std::string path) {
    Flush();
    Close();
    path_ = std::move(path);
    failed_ = false;
}

void ServiceLog::Close() {
    const FileDescriptor closing{file_.Release()};
}

std::string ServiceLog::FormatStamp(std::int64_t wallMs) {
    const std::int64_t ms = ((wallMs % 1000) + 1000) % 1000;
    const std::time_t seconds = static_cast<std::time_t>((wallMs - ms) / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms));
    return text;
}

std::string ServiceLog::FormatLine(const ExchangeEvent& event, std::int64_t wallMs,
                                   int announcedBlock) {
    std::string line = FormatStamp(wallMs) + " COM" + std::to_string(event.comNumber);
    switch (event.kind) {
    case ExchangeKind::Opened:
        line += " -- open at " + std::to_string(event.baudRate) + " baud";
        break;
    case ExchangeKind::Closed:
        line += " -- close";
        break;
    case ExchangeKind::HungUp:
        line += " -- hang-up";
        break;
    case ExchangeKind::TimedOut:
        line += " -- time-out";
        break;
    case ExchangeKind::Sent:
        line += " >> ";
        if (event.bytes.size() == kGammaBlockSize) {
            line += "gamma block " +
                    (announcedBlock >= 0 ? std::to_string(announcedBlock) : std::string("?")) +
                    ", 257 bytes, checksum " + (ChecksumOk(event.bytes) ? "ok" : "BAD");
        } else {
            AppendBytes(line, event.bytes);
        }
        break;
    case ExchangeKind::Received:
        line += " << ";
        AppendBytes(line, event.bytes);
        break;
    }
    return line;
}

void ServiceLog::Record(const ExchangeEvent& event) {
    PartLine& part = received_[event.comNumber];
    if (event.kind == ExchangeKind::Received) {
        for (const char c : event.bytes) {
            if (part.bytes.empty()) {
                part.since = ticks_.Now();
            }
            part.bytes += c;
            if (c == '\r' || c == '\x04') {
                EndReceived(event.comNumber, part);
            }
        }
        return;
    }
    EndReceived(event.comNumber, part);
    int& block = announced_.try_emplace(event.comNumber, -1).first->second;
    std::string line = FormatLine(event, wall_(), block);
    if (event.kind == ExchangeKind::Sent) {
        block = event.bytes.size() == kGammaBlockSize ? -1 : AnnouncedBlock(event.bytes);
    }
    Append(std::move(line));
}

void ServiceLog::EndReceived(std::int32_t comNumber, PartLine& part) {
    if (part.bytes.empty()) {
        return;
    }
    const ExchangeEvent received{ExchangeKind::Received, comNumber, 0, part.bytes};
    Append(FormatLine(received, wall_(), -1));
    part.bytes.clear();
}

void ServiceLog::Append(std::string line) {
    if (!path_.empty()) {
        if (buffer_.empty()) {
            bufferSince_ = ticks_.Now();
        }
        buffer_ += line;
        buffer_ += '\n';
    }
    lines_.push_back(std::move(line));
    if (lines_.size() > kServiceLogLinesKept) {
        lines_.pop_front();
    }
}

void ServiceLog::Poll() {
    // An answer whose end does not come (garbage, a cut line) is not held back for ever.
    for (auto& [comNumber, part] : received_) {
        if (!part.bytes.empty() && ticks_.Now() - part.since >= kServiceLogFlushMs) {
            EndReceived(comNumber, part);
        }
    }
    if (!buffer_.empty() && ticks_.Now() - bufferSince_ >= kServiceLogFlushMs) {
        Flush();
    }
}

void ServiceLog::Flush() {
    if (buffer_.empty() || path_.empty()) {
        return;
    }
    if (file_.fd < 0) {
        file_.fd =
            ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    }
    const int error = file_.fd < 0 ? errno : WriteAll(file_.fd, buffer_.data(), buffer_.size());
    // What could not be written is dropped: the buffer must not grow while the disk is full.
    buffer_.clear();
    if (error == 0) {
        failed_ = false;
        return;
    }
    if (!failed_ && !warned_) {
        warning_ = std::strerror(error);
    }
    failed_ = true;
    // Opened again at the next flush: the file may have been moved or its disk remounted.
    Close();
}

std::string ServiceLog::TakeWarning() {
    if (warned_ || warning_.empty()) {
        return {};
    }
    warned_ = true;
    return std::move(warning_);
}

} // namespace tonedesk
