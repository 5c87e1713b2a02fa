#include "link/PosixSerialPort.h"

#include "link/PortAccess.h"

#include "common/TestKit.h"
#include "support/Settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace tonedesk;

namespace {

// A pseudo-terminal: the test holds the master side and plays the projector; the port under
// test opens the slave side by its path.
class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            const char* name = ::ptsname(master_);
            slavePath_ = name ? name : "";
        }
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void Send(const std::string& text) const {
        ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // What arrives at the master, up to `count` bytes, until nothing came for `quietMs`.
    std::string Receive(std::size_t count, int quietMs = 1000) const {
        std::string got;
        while (got.size() < count && WaitReadable(master_, quietMs)) {
            char buf[4096];
            const ssize_t n = ::read(
                master_, buf, sizeof buf < count - got.size() ? sizeof buf : count - got.size());
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    int MasterWaiting() const {
        int n = -1;
        ::ioctl(master_, FIONREAD, &n);
        return n;
    }

    static bool WaitReadable(int fd, int timeoutMs = 1000) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// The system as the ports see it, in a temporary folder: no console, no lock files.
PosixPortHost HostIn(const test::TempDir& dir) {
    PosixPortHost host;
    host.deviceFolder = (dir.Path() / "dev").string();
    host.consoleList = (dir.Path() / "console-active").string();
    host.port.lockFolder = (dir.Path() / "lock").string();
    std::filesystem::create_directories(host.deviceFolder);
    std::filesystem::create_directories(host.port.lockFolder);
    return host;
}

std::string Bytes(const std::uint8_t* data, int size) {
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
}

class PosixSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok()) << "no pseudo-terminal: " << std::strerror(errno);
        settings_.SetInt(kPortsSection, "SYSTEM", 0);
        settings_.WriteText(kPortsSection, "COM5", pty_.SlavePath());
        auto opened = factory_.Open(5);
        ASSERT_NE(opened, nullptr);
        port_.reset(static_cast<PosixSerialPort*>(opened.release()));
    }

    // Waits until the port holds `count` bytes (or a second passed); the status seen last.
    PortStatus WaitForBytes(std::uint32_t count) {
        PortStatus s = port_->Status();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (s.waiting < count && std::chrono::steady_clock::now() < until) {
            PtyPair::WaitReadable(port_->Descriptor(), 50);
            s = port_->Status();
        }
        return s;
    }

    // Sends `bytes` from the other side and reads them at the port: the data and the error
    // flags that the next status reports.
    std::pair<std::string, std::uint32_t> Arrive(const std::string& bytes) {
        pty_.Send(bytes);
        WaitForBytes(static_cast<std::uint32_t>(bytes.size()));
        std::uint8_t buf[64];
        const int n = port_->Read(buf, sizeof buf);
        return {Bytes(buf, n), port_->Status().errors};
    }

    PtyPair pty_;
    test::TempDir hostDir_;
    MemorySettings settings_;
    PosixSerialPortFactory factory_{settings_, HostIn(hostDir_)};
    std::unique_ptr<PosixSerialPort> port_;
};

TEST_F(PosixSerialPortTest, ConfiguresARawLineAtTheRate) {
    // Whatever the line's last user left behind: parity, 7 bits, two stop bits, handshakes,
    // line editing, output processing.
    termios dirty{};
    ASSERT_EQ(::tcgetattr(pty_.Master(), &dirty), 0);
    dirty.c_cflag = (dirty.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB |
                    PARODD | CSTOPB | CRTSCTS;
    dirty.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INPCK;
    dirty.c_lflag |= ICANON | ECHO | ISIG;
    dirty.c_oflag |= OPOST | ONLCR;
    dirty.c_cc[VMIN] = 5;
    dirty.c_cc[VTIME] = 3;
    ASSERT_EQ(::tcsetattr(pty_.Master(), TCSANOW, &dirty), 0);

    const struct {
        int rate;
        speed_t code;
    } rates[] = {{9600, B9600},     {38400, B38400},   {115200, B115200},
                 {1200, B1200},     {19200, B19200},   {57600, B57600},
                 {230400, B230400}, {921600, B921600}, {9600, B9600}};
    for (const auto& r : rates) {
        SCOPED_TRACE(r.rate);
        ASSERT_TRUE(port_->Configure(r.rate));
        termios t{};
        ASSERT_EQ(::tcgetattr(pty_.Master(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), r.code);
        EXPECT_EQ(::cfgetispeed(&t), r.code);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
        // A pseudo-terminal counts no line errors: the line marks them in the data instead.
        EXPECT_EQ(t.c_iflag & (INPCK | PARMRK), static_cast<tcflag_t>(INPCK | PARMRK));
        EXPECT_EQ(t.c_iflag & (IGNPAR | IGNBRK | BRKINT), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
    // A rate the system does not know is refused and the line keeps its rate.
    EXPECT_FALSE(port_->Configure(12345));
    termios t{};
    ASSERT_EQ(::tcgetattr(pty_.Master(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
}

TEST_F(PosixSerialPortTest, BytesFlowBothWaysAndReadsNeverWait) {
    ASSERT_TRUE(port_->Configure(38400));
    const std::string command = "POWR????\r";
    EXPECT_EQ(port_->Write(reinterpret_cast<const std::uint8_t*>(command.data()),
                           static_cast<int>(command.size())),
              static_cast<int>(command.size()));
    EXPECT_EQ(pty_.Receive(command.size()), command); // no CR translation on the way out

    std::uint8_t buf[16] = {};
    EXPECT_EQ(port_->Read(buf, sizeof buf), 0); // nothing there: at once, no error
    EXPECT_EQ(port_->Status().errors, 0u);

    pty_.Send("1\r\nOK\r");
    PortStatus s = WaitForBytes(6);
    EXPECT_EQ(s.waiting, 6u);
    EXPECT_EQ(s.errors, 0u);
    EXPECT_FALSE(s.xoffHold);
    ASSERT_EQ(port_->Read(buf, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "1\r\nO"); // CR and LF kept
    EXPECT_EQ(port_->Status().waiting, 2u);
    ASSERT_EQ(port_->Read(buf, sizeof buf), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 2), "K\r");
    EXPECT_EQ(port_->Read(buf, sizeof buf), 0);
    EXPECT_EQ(port_->Status().waiting, 0u);

    // XON, XOFF and the interrupt character are data on a raw line.
    pty_.Send(std::string("\x13\x11\x03\x1a", 4));
    ASSERT_EQ(WaitForBytes(4).waiting, 4u);
    ASSERT_EQ(port_->Read(buf, sizeof buf), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), std::string("\x13\x11\x03\x1a", 4));
}

TEST_F(PosixSerialPortTest, WritesArePartialWhenTheDriverIsFull) {
    ASSERT_TRUE(port_->Configure(115200));
    // Nobody reads the master: the driver takes a limited amount, then nothing, never waiting.
    std::vector<std::uint8_t> block(4096);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::size_t total = 0;
    int last = 1;
    bool partial = false;
    while (total < (8u << 20)) {
        last = port_->Write(block.data(), static_cast<int>(block.size()));
        if (last == 0) {
            break;
        }
        partial = partial || last < static_cast<int>(block.size());
        total += static_cast<std::size_t>(last);
    }
    EXPECT_EQ(last, 0);
    EXPECT_GT(total, 0u);
    EXPECT_LT(total, 8u << 20);
    EXPECT_EQ(port_->Status().errors, 0u); // a full driver is no error
    // Everything the port took arrives, in order.
    const std::string got = pty_.Receive(total);
    ASSERT_EQ(got.size(), total);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        wrong += static_cast<std::uint8_t>(got[i]) != block[i % block.size()] ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0u);
    (void)partial; // whether a block was cut depends on the driver's buffer sizes
}

TEST_F(PosixSerialPortTest, PurgeDropsBothDirections) {
    ASSERT_TRUE(port_->Configure(9600));
    pty_.Send("stale answer\r");
    ASSERT_EQ(WaitForBytes(13).waiting, 13u);
    // Fill the way out until the driver takes nothing more.
    const std::vector<std::uint8_t> block(4096, 'x');
    std::size_t queued = 0;
    for (int n = 1; n > 0 && queued < (8u << 20); queued += static_cast<std::size_t>(n)) {
        n = port_->Write(block.data(), static_cast<int>(block.size()));
    }
    // The terminal moves buffered output along in the background and may make room for a few
    // more bytes after refusing a block: fill byte by byte until it refuses one.
    bool refused = false;
    for (int i = 0; i < 100000 && !refused; ++i) {
        refused = port_->Write(block.data(), 1) == 0;
        queued += refused ? 0 : 1;
    }
    ASSERT_TRUE(refused);

    port_->Purge();
    EXPECT_EQ(port_->Status().waiting, 0u);
    std::uint8_t buf[32];
    EXPECT_EQ(port_->Read(buf, sizeof buf), 0);
    // The output that had not gone out is dropped: the driver takes data again, and the other
    // side sees only what had reached it before the purge.
    EXPECT_EQ(port_->Write(block.data(), 1), 1);
    EXPECT_LT(pty_.Receive(queued + 1, 100).size(), queued / 2);

    // The line still works afterwards.
    pty_.Send("OK\r");
    ASSERT_EQ(WaitForBytes(3).waiting, 3u);
    EXPECT_EQ(port_->Read(buf, sizeof buf), 3);
}

TEST_F(PosixSerialPortTest, HangUpIsAnErrorNotData) {
    ASSERT_TRUE(port_->Configure(9600));
    pty_.CloseMaster();
    const auto start = std::chrono::steady_clock::now();
    std::uint8_t buf[16];
    for (int i = 0; i < 3; ++i) { // it stays reported, and no call waits
        const PortStatus s = port_->Status();
        EXPECT_NE(s.errors & kPortIoError, 0u);
        EXPECT_EQ(s.waiting, 0u);
        EXPECT_EQ(port_->Read(buf, sizeof buf), 0);
        EXPECT_EQ(port_->Write(buf, 4), 0);
        port_->Purge();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(PosixSerialPortTest, LineErrorsMarkedInTheDataBecomeFlags) {
    ASSERT_TRUE(port_->Configure(9600));
    // The line doubles a data byte 0xFF; the port reads it once.
    EXPECT_EQ(Arrive("A\xff"
                     "B\xff"),
              std::make_pair(std::string("A\xff"
                                         "B\xff"),
                             0u));

    // A UART driver marks a break and a broken character in the data. A pseudo-terminal has
    // none of either: the marks are sent as they are, with the line's own marking off.
    termios t{};
    ASSERT_EQ(::tcgetattr(pty_.Master(), &t), 0);
    t.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
    ASSERT_EQ(::tcsetattr(pty_.Master(), TCSANOW, &t), 0);
    const struct {
        std::string sent;
        std::string data;
        std::uint32_t errors;
    } arrivals[] = {
        {std::string("A\xff\x00\x00"
                     "B",
                     5),
         "AB", kPortBreak},
        {"\xff", "", 0}, // a mark split over three reads
        {std::string(1, '\0'), "", 0},
        {"\x41"
         "C\xff",
         "C", kPortFraming},
        {"\xff"
         "D",
         "\xff"
         "D",
         0}, // a doubled 0xFF split over two reads
        {"E", "E", 0},
    };
    for (const auto& a : arrivals) {
        SCOPED_TRACE(a.data);
        EXPECT_EQ(Arrive(a.sent), std::make_pair(a.data, a.errors));
    }
    // A mark cut off by a purge (a reopen, a change of rate) ends there.
    EXPECT_EQ(Arrive("\xff"), std::make_pair(std::string(), 0u));
    port_->Purge();
    EXPECT_EQ(Arrive("F"), std::make_pair(std::string("F"), 0u));
}

TEST(PosixSerialPortCountersTest, DriverCountersReplaceTheMarking) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    test::TempDir dir;
    PosixPortOptions options = HostIn(dir).port;
    LineErrorCounters driver{};
    options.readCounters = [&](int, LineErrorCounters& c) {
        c = driver;
        return true;
    };
    auto port = PosixSerialPort::Open(pty.SlavePath(), options);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->Configure(9600));
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK), 0u);

    // Bytes are taken as they come, 0xFF 0x00 0x00 too.
    pty.Send(std::string("\xff\x00\x00\xff", 4));
    ASSERT_TRUE(PtyPair::WaitReadable(port->Descriptor()));
    std::uint8_t buf[8];
    EXPECT_EQ(Bytes(buf, port->Read(buf, sizeof buf)), std::string("\xff\x00\x00\xff", 4));
    EXPECT_EQ(port->Status().errors, 0u);

    driver.breaks += 1;
    driver.parity += 2;
    EXPECT_EQ(port->Status().errors, static_cast<std::uint32_t>(kPortBreak | kPortParity));
    EXPECT_EQ(port->Status().errors, 0u);
}

TEST_F(PosixSerialPortTest, ClosingDropsOutputNotYetSent) {
    ASSERT_TRUE(port_->Configure(9600));
    const std::vector<std::uint8_t> block(4096, 'x');
    std::size_t queued = 0;
    for (int n = 1; n > 0 && queued < (8u << 20); queued += static_cast<std::size_t>(n)) {
        n = port_->Write(block.data(), static_cast<int>(block.size()));
    }
    ASSERT_GT(queued, 0u);
    // A line that does not send would hold the close up until its output drained.
    port_.reset();
    EXPECT_LT(pty_.Receive(queued, 100).size(), queued / 2);
}

TEST_F(PosixSerialPortTest, HungUpLineIsLetGo) {
    ASSERT_TRUE(port_->Configure(9600));
    const int fd = port_->Descriptor();
    pty_.CloseMaster();
    EXPECT_NE(port_->Status().errors & kPortIoError, 0u);
    // The device is closed, so that it can come back under its own name.
    EXPECT_EQ(port_->Descriptor(), -1);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    std::uint8_t buf[4] = {};
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(port_->Status().errors & kPortIoError, 0u);
        EXPECT_EQ(port_->Read(buf, sizeof buf), 0);
        EXPECT_EQ(port_->Write(buf, sizeof buf), 0);
        EXPECT_FALSE(port_->Configure(9600));
        port_->Purge();
    }
}

// The program's own second open of a line it holds is refused, also for the super-user, whom
// the line's exclusive mode lets through: the lock on the device is exclusive.
TEST_F(PosixSerialPortTest, SecondOpenOfAHeldLineIsRefused) {
    EXPECT_EQ(factory_.Open(5), nullptr);
    EXPECT_EQ(factory_.LastFailure().error, PortOpenError::kInUse);
    port_.reset();
    EXPECT_NE(factory_.Open(5), nullptr);
}

TEST_F(PosixSerialPortTest, ClosingThePortLetsOthersOpenTheLine) {
    // Another program's open of the line fails while the port holds it. The super-user is
    // exempt from that rule, so the other program runs as an ordinary user.
    ASSERT_EQ(::chmod(pty_.SlavePath().c_str(), 0666), 0);
    const auto otherOpen = [&]() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            ::_exit(fd >= 0 ? 0 : (errno == EBUSY ? 1 : 3));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const int whileHeld = otherOpen();
    if (whileHeld == 2) {
        GTEST_SKIP() << "cannot run a process as an ordinary user here";
    }
    EXPECT_EQ(whileHeld, 1);
    port_.reset();
    EXPECT_EQ(otherOpen(), 0);
}

TEST(PosixSerialPortFactoryTest, OpensOnlyTerminalsItCanResolve) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    test::TempDir dir;
    const auto plainFile = dir.Write("not-a-line", "x");
    MemorySettings settings;
    settings.SetInt(kPortsSection, "SYSTEM", 0);
    settings.WriteText(kPortsSection, "COM5", pty.SlavePath());
    settings.WriteText(kPortsSection, "COM6", (dir.Path() / "missing").string());
    settings.WriteText(kPortsSection, "COM7", plainFile.string());
    PosixSerialPortFactory factory(settings, HostIn(dir));
    EXPECT_NE(factory.Open(5), nullptr);
    EXPECT_EQ(factory.Open(6), nullptr); // no such device
    EXPECT_EQ(factory.LastFailure().error, PortOpenError::kNoDevice);
    EXPECT_EQ(factory.Open(7), nullptr); // not a terminal
    EXPECT_EQ(factory.LastFailure().error, PortOpenError::kNotATerminal);
    EXPECT_EQ(factory.Open(1), nullptr); // default devices turned off
    EXPECT_EQ(factory.Open(0), nullptr);
    // The port is free again once closed: a second open after the first one ended works.
    EXPECT_NE(factory.Open(5), nullptr);
}

// The device the user is shown for a COM number is the one Open would use.
TEST(PosixSerialPortFactoryTest, NamesTheDeviceItWouldOpen) {
    test::TempDir dir;
    MemorySettings settings;
    settings.WriteText(kPortsSection, "COM3", "/dev/pts/7");
    const PosixPortHost host = HostIn(dir);
    PosixSerialPortFactory factory(settings, host);
    EXPECT_EQ(factory.DevicePath(3), "/dev/pts/7");
    EXPECT_EQ(factory.DevicePath(1), host.deviceFolder + "/ttyS0");
    EXPECT_EQ(factory.DevicePath(34), host.deviceFolder + "/ttyUSB1");
    EXPECT_EQ(factory.DevicePath(96), host.deviceFolder + "/ttyACM31");
    EXPECT_EQ(factory.DevicePath(97), "");
    settings.SetInt(kPortsSection, "SYSTEM", 0);
    EXPECT_EQ(factory.DevicePath(1), "");
    EXPECT_EQ(factory.DevicePath(3), "/dev/pts/7");
}

// Lines that other programs hold, or that carry the console, seen through COM1 = ttyS0 of a
// device folder in which ttyS0 leads to a pseudo-terminal.
class PortRefusalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        std::filesystem::create_symlink(pty_.SlavePath(), Device());
        settings_.WriteText(kPortsSection, "COM7", Device());
    }
    std::string Device() const { return host_.deviceFolder + "/ttyS0"; }
    // Whether COM<n> opens; the reason when it does not.
    std::string Outcome(int comNumber) {
        return factory_.Open(comNumber) ? "opened" : Describe(factory_.LastFailure());
    }

    PtyPair pty_;
    test::TempDir dir_;
    PosixPortHost host_ = HostIn(dir_);
    MemorySettings settings_;
    PosixSerialPortFactory factory_{settings_, host_};
};

TEST_F(PortRefusalTest, LineLockedByAnotherProgramIsRefused) {
    const int other = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(other, &before), 0);
    EXPECT_EQ(Outcome(1), "in use by another program");
    EXPECT_EQ(factory_.LastFailure().error, PortOpenError::kInUse);
    ::close(other);
    EXPECT_EQ(Outcome(1), "opened");
}

TEST_F(PortRefusalTest, LiveLockFilesAreHonouredAndStaleOnesIgnored) {
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const int self = static_cast<int>(::getpid());
    std::string binarySelf(sizeof(std::int32_t), '\0');
    const std::int32_t self32 = self;
    std::memcpy(binarySelf.data(), &self32, sizeof self32);

    const std::string inUse = "in use by another program (pid " + std::to_string(self) + ")";
    const struct {
        std::string lock;
        std::string outcome;
    } cases[] = {
        {"      " + std::to_string(self) + "\n", inUse},    // ASCII, as most programs write it
        {binarySelf, inUse},                                // a 4-byte int, as older ones do
        {"      " + std::to_string(gone) + "\n", "opened"}, // its owner is gone
        {"garbage", "opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome + " " + c.lock);
        std::ofstream(host_.port.lockFolder + "/LCK..ttyS0", std::ios::binary) << c.lock;
        EXPECT_EQ(Outcome(1), c.outcome);
        EXPECT_EQ(Outcome(7), c.outcome); // the lock of the device a named path leads to
    }
}

// Everyone may write in the lock folder. What is there in place of a lock file is never waited
// for or read whole: the line counts as held by an unknown program, and the reason says why.
TEST_F(PortRefusalTest, LockFilesThatCannotBeReadHoldTheLine) {
    const std::string lock = host_.port.lockFolder + "/LCK..ttyS0";
    const std::string unknown = "in use by an unknown program (lock file " + lock + ": ";
    const struct {
        const char* name;
        std::function<void()> make;
        std::string outcome;
    } cases[] = {
        {"a pipe nobody writes to", [&] { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); },
         unknown + "not a regular file)"},
        {"a folder", [&] { std::filesystem::create_directory(lock); }, unknown + "Is a directory)"},
        {"a sparse file of 1 GiB",
         [&] {
             std::ofstream(lock) << ::getpid();
             std::filesystem::resize_file(lock, std::uintmax_t{1} << 30);
         },
         unknown + "file too large (more than 4 KiB))"},
        {"a live process id padded to the largest lock file",
         [&] {
             std::string text = std::to_string(::getpid()) + "\n";
             std::ofstream(lock) << std::string(kMaxLockFileSize - text.size(), ' ') << text;
         },
         "in use by another program (pid " + std::to_string(::getpid()) + ")"},
        {"a device", [&] { std::filesystem::create_symlink("/dev/zero", lock); },
         unknown + "not a regular file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(lock);
        c.make();
        EXPECT_EQ(Outcome(1), c.outcome);
    }
    std::filesystem::remove_all(lock);
    EXPECT_EQ(Outcome(1), "opened");
}

// A lock file's process that runs under another user cannot be signalled: it still holds the
// line.
TEST_F(PortRefusalTest, LockOfAnotherUsersProcessHoldsTheLine) {
    std::ofstream(host_.port.lockFolder + "/LCK..ttyS0") << "  4242\n";
    const struct {
        int probe;
        const char* outcome;
    } cases[] = {
        {0, "in use by another program (pid 4242)"},
        {EPERM, "in use by another program (pid 4242)"},
        {ESRCH, "opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.probe);
        PosixPortHost host = host_;
        std::vector<int> probed;
        host.port.probeProcess = [&](int pid) {
            probed.push_back(pid);
            return c.probe;
        };
        PosixSerialPortFactory factory(settings_, host);
        EXPECT_EQ(factory.Open(1) ? "opened" : Describe(factory.LastFailure()), c.outcome);
        EXPECT_EQ(probed, std::vector<int>{4242});
    }
}

TEST_F(PortRefusalTest, SystemConsoleIsNoDefaultPort) {
    const struct {
        std::string consoles;
        std::string com1;
    } cases[] = {
        {"tty0 ttyS0\n", "the system's console"},
        {"ttyS0\n", "the system's console"},
        {"ttyS0 tty0\n", "opened"}, // the last one is the active console
        {"ttyS01\n", "opened"},
        {"", "opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.consoles);
        std::ofstream(host_.consoleList) << c.consoles;
        EXPECT_EQ(Outcome(1), c.com1);
        EXPECT_EQ(Outcome(7), "opened"); // the profile names the line on purpose
    }
}

TEST(ResolveComDeviceTest, MapsComNumbersToDevices) {
    MemorySettings defaults;
    MemorySettings listed;
    listed.WriteText(kPortsSection, "COM3", "/dev/pts/9");
    listed.WriteText(kPortsSection, "COM200", "/tmp/sim-line");
    MemorySettings listedOnly = listed;
    listedOnly.SetInt(kPortsSection, "SYSTEM", 0);
    MemorySettings systemOn;
    systemOn.SetInt(kPortsSection, "SYSTEM", 1);

    const struct {
        const MemorySettings* settings;
        int com;
        const char* device;
    } cases[] = {
        {&defaults, 1, "/dev/ttyS0"},
        {&defaults, 32, "/dev/ttyS31"},
        {&defaults, 33, "/dev/ttyUSB0"},
        {&defaults, 64, "/dev/ttyUSB31"},
        {&defaults, 65, "/dev/ttyACM0"},
        {&defaults, 96, "/dev/ttyACM31"},
        {&defaults, 97, ""},
        {&defaults, 255, ""},
        {&defaults, 0, ""},
        {&defaults, -1, ""},
        {&systemOn, 2, "/dev/ttyS1"},
        {&listed, 3, "/dev/pts/9"},
        {&listed, 4, "/dev/ttyS3"},
        {&listed, 200, "/tmp/sim-line"},
        {&listedOnly, 3, "/dev/pts/9"},
        {&listedOnly, 200, "/tmp/sim-line"},
        {&listedOnly, 1, ""},
        {&listedOnly, 40, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.com);
        EXPECT_EQ(ResolveComDevice(*c.settings, c.com), c.device);
    }
}

TEST(GrownErrorFlagsTest, FlagsTheCountersThatMoved) {
    const LineErrorCounters base{1, 2, 3, 4, 5};
    const struct {
        LineErrorCounters after;
        std::uint32_t flags;
    } cases[] = {
        {{1, 2, 3, 4, 5}, 0},
        {{2, 2, 3, 4, 5}, kPortBreak},
        {{1, 3, 3, 4, 5}, kPortFraming},
        {{1, 2, 9, 4, 5}, kPortOverrun},
        {{1, 2, 3, 5, 5}, kPortRxOverflow},
        {{1, 2, 3, 4, 6}, kPortParity},
        {{1, 9, 3, 4, 7}, kPortFraming | kPortParity},
        {{0, 2, 3, 4, 5}, kPortBreak}, // a counter that wrapped round
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GrownErrorFlags(base, c.after), c.flags);
    }
}

// The advice names each device's real group in one command; a device that cannot be looked at
// is taken for Debian's serial group, and one that no group may open is left to the
// administrator.
TEST(PortAccessTest, AdviceNamesTheGroupsOfTheDevices) {
    test::TempDir dir;
    const std::string shared = dir.Write("ttyA", "").string();
    const std::string closed = dir.Write("ttyB", "").string();
    ASSERT_EQ(::chmod(shared.c_str(), 0660) | ::chmod(closed.c_str(), 0600), 0);
    if (::getegid() == 0 && ::chown(shared.c_str(), static_cast<uid_t>(-1), 4242) != 0) {
        GTEST_SKIP() << "the file keeps the super-user's group, which the advice never names";
    }
    struct stat st {};
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    const struct group* entry = ::getgrgid(st.st_gid);
    const std::string name = entry ? entry->gr_name : std::to_string(st.st_gid);
    EXPECT_EQ(PortAccessAdvice({shared}),
              "Access to " + shared + " was denied. Add your user to the group " + name +
                  ":\n    sudo usermod -aG " + name + " $USER\nthen log out and in again.");
    const std::string both = name == kSerialDeviceGroup ? name : name + "," + kSerialDeviceGroup;
    const std::string text = PortAccessAdvice({shared, "/none/ttyZ", closed});
    EXPECT_NE(text.find("sudo usermod -aG " + both + " $USER\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nNo group may open " + closed + ": "), std::string::npos) << text;
}

} // namespace
