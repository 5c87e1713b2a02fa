#pragma once

#include "link/SerialPort.h"
#include "support/Settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace tonedesk {

// Counters of line errors kept by a UART driver since it was loaded.
struct LineErrorCounters {
    std::uint32_t breaks = 0;
    std::uint32_t framing = 0;
    std::uint32_t overruns = 0;   // the UART lost bytes
    std::uint32_t rxOverflow = 0; // the driver's buffer lost bytes
    std::uint32_t parity = 0;
};

// The PortErrorFlag bits of the counters that grew from `before` to `after`.
std::uint32_t GrownErrorFlags(const LineErrorCounters& before, const LineErrorCounters& after);

// The driver's counters of the line behind `fd`; false where it keeps none (pseudo-terminals,
// some USB adapters).
bool ReadDriverCounters(int fd, LineErrorCounters& counters);

struct PortOpenFailure {
    PortOpenError error = PortOpenError::kNone;
    int ownerPid = 0;   // the holder named by a lock file (kInUse), 0 when unknown
    std::string detail; // what made the line count as held when no holder is known
};

// A short reason for messages, such as "in use by another program (pid 42)".
std::string Describe(const PortOpenFailure& failure);

// Signal 0 to process `pid`: 0 when it runs and may be signalled, otherwise the error number
// (ESRCH: there is no such process; EPERM: it runs under another user).
int ProbeProcess(int pid);

// Largest lock file read: one holds a process id of a few bytes.
inline constexpr std::size_t kMaxLockFileSize = 4096;

// How a device is opened.
struct PosixPortOptions {
    // Where programs leave their lock files ("LCK..ttyS0" holding the owner's process id). A
    // lock file that is no regular file of at most kMaxLockFileSize bytes, or that cannot be
    // read, holds the line for an unknown program.
    std::string lockFolder = "/var/lock";
    // Whether the process named by a lock file still runs.
    std::function<int(int pid)> probeProcess = ProbeProcess;
    // The source of the driver's error counters.
    std::function<bool(int fd, LineErrorCounters&)> readCounters = ReadDriverCounters;
};

// A serial device on POSIX termios. The device is opened non-blocking and exclusively (other
// programs' opens fail while it is held; the super-user is exempt) and closed with the object.
// A line that another program holds is refused before anything on it is changed: one with a
// lock on the device (flock) or a live lock file in the lock folder.
//
// Line errors come from the driver's counters where it keeps them; elsewhere the line marks
// them in the received data (0xFF 0x00 0x00 a break, 0xFF 0x00 x a bad character x, 0xFF 0xFF
// a data byte 0xFF), which Read takes out again and turns into the flags of the next Status.
class PosixSerialPort final : public SerialPort {
public:
    // The open device, or null when it cannot be opened or is not a terminal; `failure`, when
    // given, says why.
    static std::unique_ptr<PosixSerialPort> Open(const std::string& device,
                                                 const PosixPortOptions& options = {},
                                                 PortOpenFailure* failure = nullptr);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Raw mode, 8 data bits, no parity, one stop bit, receiver on, modem lines ignored, no
    // hardware or software flow control; reads return at once. DTR and RTS are asserted where
    // the device has them (a pseudo-terminal has not: that is not a failure). False for a rate
    // the system does not know or a device that refused the settings.
    bool Configure(int baudRate) override;
    // Bytes waiting (marks included), and kPortIoError while the line is gone (the other side
    // of a pseudo-terminal closed, an adapter unplugged) or after a read or write failed; line
    // errors counted by the driver or marked in the data since the last call. Never waits.
    // A line that hung up is let go at once: its device is closed, so that a re-plugged adapter
    // gets its old name back, and every later call fails.
    PortStatus Status() override;
    int Read(std::uint8_t* data, int size) override;
    std::uint32_t TakeReadErrors() override;
    int Write(const std::uint8_t* data, int size) override;
    void Purge() override;

    // The open descriptor, -1 once the line was let go.
    int Descriptor() const override { return fd_; }

private:
    PosixSerialPort(int fd, std::function<bool(int, LineErrorCounters&)> readCounters);
    // The byte count of a read or write result; a failure other than a full or empty driver
    // is kept for the next Status.
    int Transferred(long n);
    // Takes the line's error marks out of `size` received bytes, in place; the data count left.
    int Unmark(std::uint8_t* data, int size);
    void LetGo();

    int fd_;
    std::function<bool(int, LineErrorCounters&)> readCounters_;
    std::uint32_t pendingErrors_ = 0; // failures and marked errors since the last Status
    std::uint32_t readErrors_ = 0;    // marked errors of the last Read, not yet taken
    LineErrorCounters counters_;
    bool haveCounters_ = false;
    bool marking_ = false; // the line marks errors in the data
    enum class MarkState { kData, kEscape, kBadByte } markState_ = MarkState::kData;
};

struct ComDevice {
    std::string path;        // empty when the COM number has no device
    std::string defaultName; // the name in the device folder ("ttyS0") for a default port
};

// The device of port COM<comNumber>. Profile section "PORTS", key "COM<n>", names a path and
// wins; otherwise COM1-32 are ttyS0-31, COM33-64 ttyUSB0-31 and COM65-96 ttyACM0-31 in
// `deviceFolder`, unless key "SYSTEM" of that section is 0, which leaves only the listed ports.
ComDevice FindComDevice(const Settings& settings, int comNumber,
                        const std::string& deviceFolder = "/dev");
// The device path of FindComDevice in /dev, or empty when it has none.
std::string ResolveComDevice(const Settings& settings, int comNumber);

// Where the factory finds the system's devices and what it knows about them.
struct PosixPortHost {
    std::string deviceFolder = "/dev";
    // Lists the consoles ("tty0 ttyS0"), the last one active.
    std::string consoleList = "/sys/class/tty/console/active";
    PosixPortOptions port;
};

// Opens COM ports through FindComDevice and PosixSerialPort. A default port that carries the
// system's console is never opened; a port the profile names is opened whatever it is. The
// settings are read at each open and must outlive the factory.
class PosixSerialPortFactory final : public SerialPortFactory {
public:
    explicit PosixSerialPortFactory(const Settings& settings, PosixPortHost host = {})
        : settings_(settings), host_(std::move(host)) {}
    std::unique_ptr<SerialPort> Open(int comNumber) override;
    // Why the last Open failed (kNone after one that worked).
    const PortOpenFailure& LastFailure() const { return lastFailure_; }
    std::string LastOpenFailure() const override { return Describe(lastFailure_); }
    PortOpenError LastOpenError() const override { return lastFailure_.error; }
    // FindComDevice's path in the host's device folder.
    std::string DevicePath(int comNumber) const override;

private:
    const Settings& settings_;
    PosixPortHost host_;
    PortOpenFailure lastFailure_;
};

} // namespace tonedesk
