#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tonedesk {

// Line error flags reported by SerialPort::Status.
enum PortErrorFlag : std::uint32_t {
    kPortBreak = 0x01,
    kPortFraming = 0x02,
    kPortIoError = 0x04,
    kPortOverrun = 0x08,
    kPortRxOverflow = 0x10,
    kPortParity = 0x20,
};

struct PortStatus {
    std::uint32_t errors = 0;  // PortErrorFlag bits since the last call
    std::uint32_t waiting = 0; // bytes received and not yet read
    bool xoffHold = false;     // output held by a received XOFF
};

// One open serial device. Nothing here blocks: reads take what the driver holds, writes may
// take only part of the data.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Raw 8N1 at the given rate, no flow control, DTR and RTS asserted. False when the driver
    // refused some of it (callers may ignore that).
    virtual bool Configure(int baudRate) = 0;
    virtual PortStatus Status() = 0;
    // Up to `size` bytes that are already waiting; the count read, 0 when none or on error.
    virtual int Read(std::uint8_t* data, int size) = 0;
    // Line errors the last Read found marked in its own data (a port whose driver has no error
    // counters), so that they spoil the bytes they came with; cleared by the call and no longer
    // reported by Status.
    virtual std::uint32_t TakeReadErrors() { return 0; }
    // Writes what the driver takes now; the count written, 0 on error.
    virtual int Write(const std::uint8_t* data, int size) = 0;
    // Drops everything queued in both directions.
    virtual void Purge() = 0;
    // A descriptor that polls readable when bytes arrive or the line hangs up, so that the
    // port need not be polled; -1 when the port has none (it is then serviced every
    // millisecond).
    virtual int Descriptor() const { return -1; }
};

// Why a port could not be opened.
enum class PortOpenError {
    kNone,
    kNoDevice,      // no such device, or none is mapped to the COM number
    kAccessDenied,  // the user may not open it
    kNotATerminal,  // the path is not a serial line
    kInUse,         // another program holds it (a lock on the device, or a live lock file)
    kSystemConsole, // the system's console runs on it
    kFailed,        // any other failure of the open
};

// Opens COM ports by number (COM1 is 1).
class SerialPortFactory {
public:
    virtual ~SerialPortFactory() = default;
    // The open port, or null when the port does not exist or cannot be opened.
    virtual std::unique_ptr<SerialPort> Open(int comNumber) = 0;
    // Why the last Open failed, for messages ("in use by another program (pid 42)").
    virtual std::string LastOpenFailure() const { return "reason unknown"; }
    // The kind of that failure (kNone after an Open that worked).
    virtual PortOpenError LastOpenError() const { return PortOpenError::kFailed; }
    // The device behind the COM number, for the user ("/dev/ttyUSB0"); empty when unknown.
    virtual std::string DevicePath(int /*comNumber*/) const { return {}; }
};

} // namespace tonedesk
