#pragma once

#include "link/ExchangeEvent.h"
#include "support/Clock.h"
#include "support/FileRead.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

namespace tonedesk {

// Lines the service log keeps in memory for the session's view of it.
inline constexpr std::size_t kServiceLogLinesKept = 10000;
// Longest time a recorded line waits in the buffer before it is written to the file.
inline constexpr Tick kServiceLogFlushMs = 200;

// The record of every exchange with the projectors: one line per event,
//
//     2026-12-08T09:32:01.123Z COM3 >> POWR????<13>
//
// a UTC time stamp with milliseconds, the port, the direction (">>" sent, "<<" received, "--"
// an event of the port) and the bytes as text, control bytes and "<" written as "<n>". A gamma
// data block is one line "gamma block K, 257 bytes, checksum ok" (or BAD), not its bytes. Bytes
// received make one line per answer, however the port's reads split them: a line ends at CR or
// EOT, at the port's next event, or once it waited kServiceLogFlushMs for its end.
//
// Record only formats and buffers: it is the link's exchange sink and never touches the disk.
// Its owner calls Poll from its timer or wait loop, which appends the buffer to the file once
// it is kServiceLogFlushMs old, and Flush at exit. A file that cannot be written never stops the
// work: the lines of that flush are lost to the file (not to Lines), a warning is raised once, and
// later flushes try again.
class ServiceLog {
public:
    // Milliseconds since 1970-01-01 UTC, for the time stamps.
    using WallTime = std::function<std::int64_t()>;

    // `ticks` times the flushes; `wall` (the system clock when empty) stamps the lines.
    explicit ServiceLog(const Clock& ticks, WallTime wall = {});
    ~ServiceLog();
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;

    // Appends the lines to this file from now on (created when missing); an empty path keeps
    // them in memory only. The file is opened at the next flush.
    void SetFile(std::string path);
    const std::string& File() const { return path_; }

    void Record(const ExchangeEvent& event);
    // The sink to give the link.
    ExchangeSink Sink() {
        return [this](const ExchangeEvent& event) { Record(event); };
    }

    // Writes the buffer when its oldest line waited kServiceLogFlushMs.
    void Poll();
    // Writes the buffer now.
    void Flush();

    // The last kServiceLogLinesKept lines, oldest first, without line ends.
    const std::deque<std::string>& Lines() const { return lines_; }
    // Bytes recorded but not yet written to the file.
    std::size_t Pending() const { return buffer_.size(); }
    // Once after the first failure to write the file: the system's reason ("No space left on
    // device"), for a warning about File(); empty otherwise.
    std::string TakeWarning();

    // The line of an event at `wallMs`; `announcedBlock` is the block of the port's last
    // gamma announce (-1 when none).
    static std::string FormatLine(const ExchangeEvent& event, std::int64_t wallMs,
                                  int announcedBlock);
    // "2026-12-08T09:32:01.123Z".
    static std::string FormatStamp(std::int64_t wallMs);

private:
    // An answer line of a port still waiting for its end.
    struct PartLine {
        std::string bytes;
        Tick since = 0;
    };

    void Close();
    void Append(std::string line);
    void EndReceived(std::int32_t comNumber, PartLine& part);

    const Clock& ticks_;
    WallTime wall_;
    std::string path_;
    FileDescriptor file_;
    std::deque<std::string> lines_;
    std::string buffer_;
    Tick bufferSince_ = 0;
    std::map<std::int32_t, int> announced_;     // last gamma announce per COM number
    std::map<std::int32_t, PartLine> received_; // per COM number
    bool failed_ = false;
    bool warned_ = false;
    std::string warning_;
};

} // namespace tonedesk
