#pragma once

#include "link/SerialPort.h"
#include "support/Settings.h"

#include <cstdint>
#include <memory>
#include <string>

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

// A serial device on POSIX termios. The device is opened non-blocking and exclusively (other
// programs' opens fail while it is held; the super-user is exempt) and closed with the object.
class PosixSerialPort final : public SerialPort {
public:
    // The open device, or null when it cannot be opened or is not a terminal.
    static std::unique_ptr<PosixSerialPort> Open(const std::string& device);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Raw mode, 8 data bits, no parity, one stop bit, receiver on, modem lines ignored, no
    // hardware or software flow control; reads return at once. DTR and RTS are asserted where
    // the device has them (a pseudo-terminal has not: that is not a failure). False for a rate
    // the system does not know or a device that refused the settings.
    bool Configure(int baudRate) override;
    // Bytes waiting, and kPortIoError while the line is gone (the other side of a
    // pseudo-terminal closed, an adapter unplugged) or after a read or write failed; line
    // errors counted by the driver since the last call. Never waits.
    PortStatus Status() override;
    int Read(std::uint8_t* data, int size) override;
    int Write(const std::uint8_t* data, int size) override;
    void Purge() override;

    int Descriptor() const { return fd_; }

private:
    explicit PosixSerialPort(int fd);
    bool ReadCounters(LineErrorCounters& counters) const;
    // The byte count of a read or write result; a failure other than a full or empty driver
    // is kept for the next Status.
    int Transferred(long n);

    int fd_;
    std::uint32_t pendingErrors_ = 0; // failures of reads and writes since the last Status
    LineErrorCounters counters_;
    bool haveCounters_ = false;
};

// The device path of port COM<comNumber>, or empty when it has none. Profile section "PORTS",
// key "COM<n>", names a path and wins; otherwise COM1-32 are /dev/ttyS0-31, COM33-64
// /dev/ttyUSB0-31 and COM65-96 /dev/ttyACM0-31, unless key "SYSTEM" of that section is 0,
// which leaves only the listed ports.
std::string ResolveComDevice(const Settings& settings, int comNumber);

// Opens COM ports through ResolveComDevice and PosixSerialPort. The settings are read at each
// open and must outlive the factory.
class PosixSerialPortFactory final : public SerialPortFactory {
public:
    explicit PosixSerialPortFactory(const Settings& settings) : settings_(settings) {}
    std::unique_ptr<SerialPort> Open(int comNumber) override;

private:
    const Settings& settings_;
};

} // namespace tonedesk
