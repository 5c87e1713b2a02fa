#include "link/PosixSerialPort.h"

#include "support/FileRead.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace tonedesk {

namespace {

struct RateCode {
    int rate;
    speed_t code;
};

constexpr RateCode kRates[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

bool SpeedOf(int rate, speed_t& code) {
    for (const auto& r : kRates) {
        if (r.rate == rate) {
            code = r.code;
            return true;
        }
    }
    return false;
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// Errors that mean the device is gone, not that one call failed.
bool HungUp(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

std::string LastPathPart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process id in a lock file: ASCII digits, or a binary int of 4 bytes; 0 when neither.
int LockOwner(const std::string& content) {
    const bool ascii =
        !content.empty() && content.find_first_not_of("0123456789 \t\r\n") == std::string::npos;
    if (ascii) {
        long pid = 0;
        std::istringstream(content) >> pid;
        return pid > 0 && pid <= 0x7fffffff ? static_cast<int>(pid) : 0;
    }
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid > 0 ? pid : 0;
    }
    return 0;
}

// Whether a live lock file holds the device: kInUse with its owner, or with the reason when
// the lock file cannot be read; kNone otherwise. A lock is looked for under the name the device
// was given and under the name of the device it leads to.
PortOpenFailure LockFileHolder(const std::string& device, const PosixPortOptions& options) {
    std::string names[2] = {LastPathPart(device), {}};
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        names[1] = LastPathPart(real);
        std::free(real);
    }
    for (const auto& name : names) {
        if (name.empty()) {
            continue;
        }
        // Everyone may write in the lock folder: what is found there is read without waiting
        // and only up to the size a lock file has.
        const std::string path = options.lockFolder + "/LCK.." + name;
        std::string content;
        const int error = ReadWholeFile(path, content, kMaxLockFileSize);
        if (error == ENOENT || error == ENOTDIR) {
            continue;
        }
        if (error != 0) {
            return {PortOpenError::kInUse, 0,
                    "lock file " + path + ": " + FileReadReason(error, kMaxLockFileSize)};
        }
        const int pid = LockOwner(content);
        // A lock of a process that no longer exists is stale; one of another user's process
        // (which may not be signalled) is not.
        if (pid > 0 && options.probeProcess(pid) != ESRCH) {
            return {PortOpenError::kInUse, pid, {}};
        }
    }
    return {};
}

// The active console's device name: the last one of the list.
std::string ActiveConsole(const std::string& consoleList) {
    std::string list;
    ReadWholeFile(consoleList, list);
    std::istringstream in(list);
    std::string name;
    std::string last;
    while (in >> name) {
        last = name;
    }
    return last;
}

PortOpenError OpenError(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PortOpenError::kNoDevice;
    case EACCES:
    case EPERM:
        return PortOpenError::kAccessDenied;
    case EBUSY:
        return PortOpenError::kInUse;
    default:
        return PortOpenError::kFailed;
    }
}

} // namespace

std::string Describe(const PortOpenFailure& failure) {
    switch (failure.error) {
    case PortOpenError::kNone:
        return {};
    case PortOpenError::kNoDevice:
        return "no such device";
    case PortOpenError::kAccessDenied:
        return "access denied";
    case PortOpenError::kNotATerminal:
        return "not a serial line";
    case PortOpenError::kInUse:
        if (failure.ownerPid > 0) {
            return "in use by another program (pid " + std::to_string(failure.ownerPid) + ")";
        }
        return failure.detail.empty() ? "in use by another program"
                                      : "in use by an unknown program (" + failure.detail + ")";
    case PortOpenError::kSystemConsole:
        return "the system's console";
    case PortOpenError::kFailed:
        break;
    }
    return "refused by the system";
}

int ProbeProcess(int pid) {
    return ::kill(pid, 0) == 0 ? 0 : errno;
}

std::uint32_t GrownErrorFlags(const LineErrorCounters& before, const LineErrorCounters& after) {
    std::uint32_t flags = 0;
    flags |= after.breaks != before.breaks ? kPortBreak : 0u;
    flags |= after.framing != before.framing ? kPortFraming : 0u;
    flags |= after.overruns != before.overruns ? kPortOverrun : 0u;
    flags |= after.rxOverflow != before.rxOverflow ? kPortRxOverflow : 0u;
    flags |= after.parity != before.parity ? kPortParity : 0u;
    return flags;
}

std::unique_ptr<PosixSerialPort> PosixSerialPort::Open(const std::string& device,
                                                       const PosixPortOptions& options,
                                                       PortOpenFailure* failure) {
    PortOpenFailure why;
    const auto refuse = [&](PortOpenError error, int fd = -1) {
        why.error = error;
        if (fd >= 0) {
            ::close(fd);
        }
        if (failure) {
            *failure = why;
        }
        return nullptr;
    };
    if (device.empty()) {
        return refuse(PortOpenError::kNoDevice);
    }
    why = LockFileHolder(device, options);
    if (why.error != PortOpenError::kNone) {
        return refuse(why.error);
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return refuse(OpenError(errno));
    }
    if (!::isatty(fd)) {
        return refuse(PortOpenError::kNotATerminal, fd);
    }
    // Another serial program that locked the line keeps it; the lock goes with the descriptor.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse(errno == EWOULDBLOCK ? PortOpenError::kInUse : PortOpenError::kFailed, fd);
    }
    // Like an unshared handle: nobody else opens the line while the program talks on it.
    ::ioctl(fd, TIOCEXCL);
    if (failure) {
        *failure = {};
    }
    return std::unique_ptr<PosixSerialPort>(new PosixSerialPort(fd, options.readCounters));
}

PosixSerialPort::PosixSerialPort(int fd, std::function<bool(int, LineErrorCounters&)> readCounters)
    : fd_(fd), readCounters_(std::move(readCounters)) {
    haveCounters_ = readCounters_ && readCounters_(fd_, counters_);
}

PosixSerialPort::~PosixSerialPort() {
    LetGo();
}

void PosixSerialPort::LetGo() {
    if (fd_ < 0) {
        return;
    }
    // Output the line has not sent yet would hold the close up until it drained (half a
    // minute on a line that is stopped): it is dropped.
    ::tcflush(fd_, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool PosixSerialPort::Configure(int baudRate) {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    // Without the driver's counters, the line marks its errors in the data instead.
    if (!haveCounters_) {
        t.c_iflag |= INPCK | PARMRK;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    speed_t speed = 0;
    const bool knownRate = SpeedOf(baudRate, speed);
    if (knownRate) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    // An unknown rate leaves the present one but the line is still made raw.
    bool ok = ::tcsetattr(fd_, TCSANOW, &t) == 0 && knownRate;
    // tcsetattr succeeds when any part was taken: check that the essentials were.
    termios now{};
    if (::tcgetattr(fd_, &now) == 0) {
        marking_ = (now.c_iflag & PARMRK) != 0;
        ok = ok && ::cfgetospeed(&now) == speed && (now.c_cflag & (CSIZE | PARENB)) == CS8;
    } else {
        ok = false;
    }
    // Pseudo-terminals have no modem lines and refuse this; nothing depends on it there.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &lines);
    return ok;
}

PortStatus PosixSerialPort::Status() {
    PortStatus status;
    status.errors = pendingErrors_;
    pendingErrors_ = 0;
    if (fd_ < 0) {
        status.errors |= kPortIoError;
        return status;
    }
    bool hungUp = false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        status.errors |= kPortIoError;
        hungUp = (p.revents & (POLLHUP | POLLNVAL)) != 0;
    }
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) == 0) {
        status.waiting = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
    } else if (!WouldBlock(errno)) {
        status.errors |= kPortIoError;
        hungUp = hungUp || HungUp(errno);
    }
    if (haveCounters_) {
        LineErrorCounters now;
        if (readCounters_(fd_, now)) {
            status.errors |= GrownErrorFlags(counters_, now);
            counters_ = now;
        }
    }
    if (hungUp) {
        LetGo();
    }
    // A line that is gone holds nothing worth reading.
    if ((status.errors & kPortIoError) != 0) {
        status.waiting = 0;
    }
    return status;
}

int PosixSerialPort::Read(std::uint8_t* data, int size) {
    if (data == nullptr || size <= 0 || fd_ < 0) {
        return 0;
    }
    readErrors_ = 0; // errors of an earlier read not taken stay for Status
    const int got = Transferred(::read(fd_, data, static_cast<std::size_t>(size)));
    return marking_ ? Unmark(data, got) : got;
}

std::uint32_t PosixSerialPort::TakeReadErrors() {
    const std::uint32_t errors = readErrors_;
    readErrors_ = 0;
    pendingErrors_ &= ~errors;
    return errors;
}

int PosixSerialPort::Unmark(std::uint8_t* data, int size) {
    int kept = 0;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        switch (markState_) {
        case MarkState::kData:
            if (b == 0xFF) {
                markState_ = MarkState::kEscape;
            } else {
                data[kept++] = b;
            }
            break;
        case MarkState::kEscape:
            if (b == 0x00) {
                markState_ = MarkState::kBadByte;
            } else {
                // 0xFF 0xFF is a data byte 0xFF; the line marks nothing else.
                data[kept++] = 0xFF;
                markState_ = MarkState::kData;
            }
            break;
        case MarkState::kBadByte:
            // A character that arrived broken. The line runs without parity, so it is a framing
            // error, or a break when it is a NUL.
            readErrors_ |= b == 0x00 ? kPortBreak : kPortFraming;
            pendingErrors_ |= b == 0x00 ? kPortBreak : kPortFraming;
            markState_ = MarkState::kData;
            break;
        }
    }
    return kept;
}

int PosixSerialPort::Write(const std::uint8_t* data, int size) {
    if (data == nullptr || size <= 0 || fd_ < 0) {
        return 0;
    }
    return Transferred(::write(fd_, data, static_cast<std::size_t>(size)));
}

int PosixSerialPort::Transferred(long n) {
    if (n > 0) {
        return static_cast<int>(n);
    }
    if (n < 0 && !WouldBlock(errno)) {
        pendingErrors_ |= kPortIoError;
        if (HungUp(errno)) {
            LetGo();
        }
    }
    return 0;
}

void PosixSerialPort::Purge() {
    if (fd_ >= 0) {
        ::tcflush(fd_, TCIOFLUSH);
    }
    markState_ = MarkState::kData;
}

bool ReadDriverCounters(int fd, LineErrorCounters& counters) {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct c{};
    if (::ioctl(fd, TIOCGICOUNT, &c) != 0) {
        return false; // not a UART (pseudo-terminals, some adapters)
    }
    counters.breaks = static_cast<std::uint32_t>(c.brk);
    counters.framing = static_cast<std::uint32_t>(c.frame);
    counters.overruns = static_cast<std::uint32_t>(c.overrun);
    counters.rxOverflow = static_cast<std::uint32_t>(c.buf_overrun);
    counters.parity = static_cast<std::uint32_t>(c.parity);
    return true;
#else
    (void)fd;
    (void)counters;
    return false;
#endif
}

ComDevice FindComDevice(const Settings& settings, int comNumber, const std::string& deviceFolder) {
    if (comNumber <= 0) {
        return {};
    }
    std::string named = settings.GetText(kPortsSection, "COM" + std::to_string(comNumber), "");
    if (!named.empty()) {
        return {named, {}};
    }
    if (settings.GetInt(kPortsSection, "SYSTEM", 1) == 0) {
        return {};
    }
    const struct {
        int first;
        const char* prefix;
    } ranges[] = {{1, "ttyS"}, {33, "ttyUSB"}, {65, "ttyACM"}};
    for (const auto& r : ranges) {
        if (comNumber >= r.first && comNumber < r.first + 32) {
            std::string name = r.prefix + std::to_string(comNumber - r.first);
            return {deviceFolder + "/" + name, name};
        }
    }
    return {};
}

std::string ResolveComDevice(const Settings& settings, int comNumber) {
    return FindComDevice(settings, comNumber).path;
}

std::string PosixSerialPortFactory::DevicePath(int comNumber) const {
    return FindComDevice(settings_, comNumber, host_.deviceFolder).path;
}

std::unique_ptr<SerialPort> PosixSerialPortFactory::Open(int comNumber) {
    const ComDevice device = FindComDevice(settings_, comNumber, host_.deviceFolder);
    // A login on the console must not get the program's probes; the profile may still name
    // that line on purpose.
    if (!device.defaultName.empty() && device.defaultName == ActiveConsole(host_.consoleList)) {
        lastFailure_ = {PortOpenError::kSystemConsole, 0, {}};
        return nullptr;
    }
    return PosixSerialPort::Open(device.path, host_.port, &lastFailure_);
}

} // namespace tonedesk
