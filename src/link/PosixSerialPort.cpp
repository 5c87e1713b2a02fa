#include "link/PosixSerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
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

} // namespace

std::uint32_t GrownErrorFlags(const LineErrorCounters& before, const LineErrorCounters& after) {
    std::uint32_t flags = 0;
    flags |= after.breaks != before.breaks ? kPortBreak : 0u;
    flags |= after.framing != before.framing ? kPortFraming : 0u;
    flags |= after.overruns != before.overruns ? kPortOverrun : 0u;
    flags |= after.rxOverflow != before.rxOverflow ? kPortRxOverflow : 0u;
    flags |= after.parity != before.parity ? kPortParity : 0u;
    return flags;
}

std::unique_ptr<PosixSerialPort> PosixSerialPort::Open(const std::string& device) {
    if (device.empty()) {
        return nullptr;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return nullptr;
    }
    // Like an unshared handle: nobody else opens the line while the program talks on it.
    ::ioctl(fd, TIOCEXCL);
    return std::unique_ptr<PosixSerialPort>(new PosixSerialPort(fd));
}

PosixSerialPort::PosixSerialPort(int fd) : fd_(fd) {
    haveCounters_ = ReadCounters(counters_);
}

PosixSerialPort::~PosixSerialPort() {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

bool PosixSerialPort::Configure(int baudRate) {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
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
    if (ok && ::tcgetattr(fd_, &now) == 0) {
        ok = ::cfgetospeed(&now) == speed && (now.c_cflag & (CSIZE | PARENB)) == CS8;
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
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        status.errors |= kPortIoError;
    }
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) == 0) {
        status.waiting = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
    } else if (!WouldBlock(errno)) {
        status.errors |= kPortIoError;
    }
    if (haveCounters_) {
        LineErrorCounters now;
        if (ReadCounters(now)) {
            status.errors |= GrownErrorFlags(counters_, now);
            counters_ = now;
        }
    }
    // A line that is gone holds nothing worth reading.
    if ((status.errors & kPortIoError) != 0) {
        status.waiting = 0;
    }
    return status;
}

int PosixSerialPort::Read(std::uint8_t* data, int size) {
    if (data == nullptr || size <= 0) {
        return 0;
    }
    return Transferred(::read(fd_, data, static_cast<std::size_t>(size)));
}

int PosixSerialPort::Write(const std::uint8_t* data, int size) {
    if (data == nullptr || size <= 0) {
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
    }
    return 0;
}

void PosixSerialPort::Purge() {
    ::tcflush(fd_, TCIOFLUSH);
}

bool PosixSerialPort::ReadCounters(LineErrorCounters& counters) const {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct c{};
    if (::ioctl(fd_, TIOCGICOUNT, &c) != 0) {
        return false; // not a UART (pseudo-terminals, some adapters)
    }
    counters.breaks = static_cast<std::uint32_t>(c.brk);
    counters.framing = static_cast<std::uint32_t>(c.frame);
    counters.overruns = static_cast<std::uint32_t>(c.overrun);
    counters.rxOverflow = static_cast<std::uint32_t>(c.buf_overrun);
    counters.parity = static_cast<std::uint32_t>(c.parity);
    return true;
#else
    (void)counters;
    return false;
#endif
}

std::string ResolveComDevice(const Settings& settings, int comNumber) {
    if (comNumber <= 0) {
        return {};
    }
    std::string named = settings.GetText(kPortsSection, "COM" + std::to_string(comNumber), "");
    if (!named.empty()) {
        return named;
    }
    if (settings.GetInt(kPortsSection, "SYSTEM", 1) == 0) {
        return {};
    }
    const struct {
        int first;
        const char* prefix;
    } ranges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
    for (const auto& r : ranges) {
        if (comNumber >= r.first && comNumber < r.first + 32) {
            return r.prefix + std::to_string(comNumber - r.first);
        }
    }
    return {};
}

std::unique_ptr<SerialPort> PosixSerialPortFactory::Open(int comNumber) {
    return PosixSerialPort::Open(ResolveComDevice(settings_, comNumber));
}

} // namespace tonedesk
