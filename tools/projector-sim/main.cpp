// projector-sim: a projector on a pseudo-terminal, for trying the program without hardware
// and for its whole-program tests. See kDescription and kOptions for what it does.

#include "ProgramVersion.h"
#include "ProjectorSimulator.h"
#include "support/qt/CommandLineText.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace tonedesk::sim;

namespace {

// What the help says before the options.
constexpr const char* kDescription =
    R"(A projector on a pseudo-terminal. Prints the path of the terminal (for example /dev/pts/7) as
the first line of its output and answers the projector protocol there until it is stopped
(SIGTERM, SIGINT, SIGHUP, or the end of its input with --stdin-exit). SIGUSR1 presses the
projector's own power button: it switches off (POWR 0, MOUT 0) and goes on answering.
SIGUSR2 switches its mains off, so that it answers nothing, or on again.

Commands are 8 characters and CR: a code and a parameter ("%4d" or "????"). Answers end
with CR.
  TNAM....          the name (--name)
  <text command>    the text lines joined by CR, the last one ended by EOT (byte 4)
  GAMM%4d (0..11)   OK, then a 257-byte block is awaited: 256 data bytes and their sum
                    modulo 256; a good block is stored and answered OK, a bad one ERR (and the
                    block of the same table is awaited again). A block that stops arriving for
                    --block-timeout is abandoned.
  CODE????          the stored value in decimal; ERR for a code that was never set
  CODE%4d           stores the value and answers OK. POWR is the power (POWR    0 also
                    closes the menu), MOUT the menu, which cannot be shown while the power is
                    off (ERR); POWR    1 from off starts the warm-up (--warm-up).
  anything else     ERR
The projector answers only while the line is set to its rate (--baud): bytes received at any
other rate are dropped, as a real projector sees only noise then.
The faults (from --silent to --faults-for) disturb the answers; the other options set up the
projector and the run.)";

// The options: name, value name (null: none) and what it does, in the order of the help.
constexpr struct {
    const char* name;
    const char* valueName;
    const char* description;
} kOptions[] = {
    {"name", "TEXT", "name answered to TNAM (default DEMO-100)"},
    {"baud", "N", "the projector's rate in bit/s (default 38400)"},
    {"power", "N", "start value of POWR (default 1)"},
    {"menu", "N", "start value of MOUT (default 0)"},
    {"value", "CODE=N", "a status value (repeatable); replaces a start value below"},
    {"no-demo-values", nullptr, "start without the values below: only POWR, MOUT and --value"},
    {"warm-up", "MS", "nothing is answered for MS ms after POWR    1 from off (default 0)"},
    {"text-command", "CODE", "the code answered with text lines (default TLOG)"},
    {"text-line", "TEXT", "a line of the text answer (repeatable; replaces the default lines)"},
    {"wire-time", nullptr, "every byte takes 10 bits at the rate, in both directions"},
    {"block-timeout", "MS", "gamma block abandoned after MS ms without a byte (default 1000)"},
    {"silent", nullptr, "never answer anything"},
    {"err-every", "N", "answer ERR to every Nth command (gamma blocks count as commands)"},
    {"err", "CODE[:COUNT]",
     "answer ERR to the first COUNT commands with that code (default: to all of them); CODE "
     "BLOCK means the gamma data blocks (repeatable)"},
    {"refuse-block", "N", "answer ERR to every announce of gamma block N (repeatable)"},
    {"delay", "MS", "start every answer MS ms late"},
    {"split", "MS", "send every answer in two halves, the second MS ms after the first"},
    {"garbage-every", "N", "send a garbage line before every Nth answer"},
    {"long-every", "N", "replace every Nth answer by a line of 3000 characters"},
    {"noise", nullptr, "mix control bytes (NUL, LF, BEL) into every answer"},
    {"byte-gap", "MS", "send the bytes of every answer MS ms apart"},
    {"faults-from", "K",
     "the faults start with the Kth command (default 1; gamma blocks count as commands)"},
    {"faults-for", "N",
     "the faults disturb only N commands; the projector answers well afterwards"},
    {"hang-up-after", "N",
     "after answering N commands, hear nothing more and hang up (close the terminal, 100 ms "
     "after the last answer) and end"},
    {"unplug-after-bytes", "N",
     "cut the line as an unplugged adapter does: close the terminal at once when N bytes have "
     "arrived (the rest of a write is lost) and end"},
    {"come-back-after", "MS",
     "after a hang-up or an unplug, do not end: open a new terminal MS ms later, print its path "
     "as a further line, point --link at it and answer there (keeping the values and gamma "
     "tables), never cut again"},
    {"link", "PATH", "also make PATH a symbolic link to the terminal (removed at the end)"},
    {"dump-gamma", "FILE",
     "keep FILE up to date with the good gamma blocks received: one line per table, \"<table> "
     "<514 hex digits>\" (the 257 bytes of the block, checksum last), in table order; written "
     "at start, after every block and at the end, each time as a whole (write and rename)"},
    {"stdin-exit", nullptr, "end when standard input reaches its end (the starter went away)"},
    {"verbose", nullptr, "log every command and answer on standard error"},
};

constexpr const char* kExitStatus =
    "\nExit status: 0 when stopped, 1 when the terminal could not be set up, 2 for bad usage.\n";

// Printed after the options: the start values, from the table the simulator uses.
void PrintDemoValues() {
    std::printf("\nStart values beyond POWR and MOUT (the codes of the DEMO-100 sample model):\n ");
    std::size_t column = 1;
    for (const auto& [code, value] : kDemoValues) {
        // Appended piece by piece: GCC 12 misreports "literal" + std::string at -O3 (-Wrestrict).
        std::string item(" ");
        item.append(code).append("=").append(std::to_string(value));
        if (column + item.size() > 78) {
            std::printf("\n ");
            column = 1;
        }
        std::fputs(item.c_str(), stdout);
        column += item.size();
    }
    std::printf("\nAny other code is answered ERR to a query until it is set.\n");
}

// The last answer before a hang-up is left this long for the other side to read: closing the
// terminal throws away what it has not read yet.
constexpr Nanos kHangUpLinger = 100 * kNanosPerMs;

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gPowerButton = 0;
volatile std::sig_atomic_t gMainsSwitch = 0;
int gWakeWrite = -1;

void OnSignal(int number) {
    if (number == SIGUSR1) {
        gPowerButton = 1;
    } else if (number == SIGUSR2) {
        gMainsSwitch = 1;
    } else {
        gStop = 1;
    }
    if (gWakeWrite >= 0) {
        const char c = 1;
        [[maybe_unused]] const auto n = write(gWakeWrite, &c, 1);
    }
}

Nanos NowNanos() {
    return static_cast<Nanos>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
}

int SpeedToBaud(speed_t speed) {
    static constexpr struct {
        speed_t speed;
        int baud;
    } kRates[] = {
        {B0, 0},         {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},     {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},
        {B1800, 1800},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    };
    for (const auto& r : kRates) {
        if (r.speed == speed) {
            return r.baud;
        }
    }
    return -1;
}

struct Program {
    SimulatorOptions sim;
    std::string link;
    std::string dumpFile;
    std::optional<Nanos> comeBackAfter;
    bool stdinExit = false;
    bool verbose = false;
};

[[noreturn]] void BadUsage(const std::string& what) {
    std::fprintf(stderr, "projector-sim: %s\nTry 'projector-sim --help'.\n", what.c_str());
    std::exit(2);
}

int ToInt(const std::string& option, const std::string& text, int min) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != 0 || v < min || v > 100000000) {
        BadUsage("bad number for " + option + ": '" + text + "'");
    }
    return static_cast<int>(v);
}

Nanos ToMs(const std::string& option, const std::string& text) {
    return static_cast<Nanos>(ToInt(option, text, 0)) * kNanosPerMs;
}

std::string ToCode(const std::string& option, const std::string& text) {
    if (text.size() != 4 && !(option == "--err" && text == kBlockErrCode)) {
        BadUsage(option + " needs a four-character code, not '" + text + "'");
    }
    return text;
}

Program ParseArguments(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    for (const auto& o : kOptions) {
        parser.addOption(QCommandLineOption(QLatin1String(o.name), QString::fromUtf8(o.description),
                                            o.valueName ? QLatin1String(o.valueName) : QString()));
    }
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this text"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("print the program's name and version"));
    parser.addOptions({help, version});
    if (!parser.parse(tonedesk::ArgumentList(argc, argv))) {
        BadUsage(tonedesk::ParseErrorText(parser));
    }
    if (!parser.positionalArguments().isEmpty()) {
        BadUsage("unexpected argument '" + tonedesk::ArgumentText(parser.positionalArguments()[0]) +
                 "'");
    }
    if (parser.isSet(help)) {
        std::fputs(tonedesk::HelpText(parser, QStringLiteral("projector-sim [OPTION]...")).c_str(),
                   stdout);
        std::fputs(kExitStatus, stdout);
        PrintDemoValues();
        std::exit(0);
    }
    if (parser.isSet(version)) {
        std::printf("projector-sim %s\n", tonedesk::kProgramVersion);
        std::exit(0);
    }
    // Every value of a repeatable option, the last one of any other.
    const auto all = [&](const char* name) {
        std::vector<std::string> values;
        for (const QString& v : parser.values(QLatin1String(name))) {
            values.push_back(tonedesk::ArgumentText(v));
        }
        return values;
    };
    const auto last = [&](const char* name) -> std::optional<std::string> {
        const auto values = all(name);
        return values.empty() ? std::nullopt : std::optional(values.back());
    };
    const auto given = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    Program p;
    if (const auto v = last("name")) {
        p.sim.name = *v;
    }
    // A number of a count or time option: ToInt or ToMs with the option's name.
    const auto number = [&](const char* name, int min, auto& into) {
        if (const auto v = last(name)) {
            into = ToInt(std::string("--") + name, *v, min);
        }
    };
    const auto ms = [&](const char* name, auto& into) {
        if (const auto v = last(name)) {
            into = ToMs(std::string("--") + name, *v);
        }
    };
    number("baud", 1, p.sim.baud);
    number("power", -999, p.sim.power);
    number("menu", -999, p.sim.menu);
    std::map<std::string, int> givenValues;
    for (const std::string& v : all("value")) {
        const auto eq = v.find('=');
        if (eq == std::string::npos) {
            BadUsage("--value needs CODE=N");
        }
        givenValues[ToCode("--value", v.substr(0, eq))] = ToInt("--value", v.substr(eq + 1), -999);
    }
    ms("warm-up", p.sim.warmUp);
    if (const auto v = last("text-command")) {
        p.sim.textCommand = ToCode("--text-command", *v);
    }
    if (given("text-line")) {
        p.sim.textLines = all("text-line");
    }
    p.sim.wireTime = given("wire-time");
    ms("block-timeout", p.sim.blockTimeout);
    p.sim.silent = given("silent");
    number("err-every", 1, p.sim.errEvery);
    for (const std::string& v : all("err")) {
        const auto colon = v.find(':');
        const std::string code = ToCode("--err", v.substr(0, colon));
        p.sim.errCodes[code] =
            colon == std::string::npos ? -1 : ToInt("--err", v.substr(colon + 1), 1);
    }
    for (const std::string& v : all("refuse-block")) {
        p.sim.refusedBlocks.insert(ToInt("--refuse-block", v, 0));
    }
    ms("delay", p.sim.delay);
    ms("split", p.sim.splitGap);
    number("garbage-every", 1, p.sim.garbageEvery);
    number("long-every", 1, p.sim.longEvery);
    p.sim.noise = given("noise");
    number("hang-up-after", 1, p.sim.hangUpAfter);
    ms("byte-gap", p.sim.byteGap);
    number("faults-from", 1, p.sim.faultsFrom);
    number("faults-for", 1, p.sim.faultsFor);
    if (const auto v = last("unplug-after-bytes")) {
        p.sim.unplugAfterBytes = static_cast<std::size_t>(ToInt("--unplug-after-bytes", *v, 1));
    }
    if (const auto v = last("come-back-after")) {
        p.comeBackAfter = ToMs("--come-back-after", *v);
    }
    p.link = last("link").value_or("");
    p.dumpFile = last("dump-gamma").value_or("");
    p.stdinExit = given("stdin-exit");
    p.verbose = given("verbose");
    if (!given("no-demo-values")) {
        for (const auto& [code, value] : kDemoValues) {
            p.sim.values[std::string(code)] = value;
        }
    }
    for (const auto& [code, value] : givenValues) {
        p.sim.values[code] = value;
    }
    return p;
}

// Writes the whole file under a temporary name and renames it, so that a reader never sees
// half of it.
void WriteWholeFile(const std::string& file, const std::string& content) {
    const std::string temporary = file + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "projector-sim: cannot write %s: %s\n", temporary.c_str(),
                     std::strerror(errno));
        return;
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    if (std::fclose(f) != 0 || !ok || std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::fprintf(stderr, "projector-sim: cannot write %s: %s\n", file.c_str(),
                     std::strerror(errno));
    }
}

// The pseudo-terminal. The simulator keeps a descriptor of the terminal side open itself, so
// that the line keeps its settings and the master never reports a hang-up while the program
// under test closes and reopens the port.
struct Terminal {
    int master = -1;
    int slave = -1;
    std::string path;

    bool Open() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            return false;
        }
        const char* name = ptsname(master);
        if (!name) {
            return false;
        }
        path = name;
        slave = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0) {
            return false;
        }
        // Raw until the program configures the line: no echo of what it sends, no CR/LF
        // translation of the answers.
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
        const int flags = fcntl(master, F_GETFL);
        return flags >= 0 && fcntl(master, F_SETFL, flags | O_NONBLOCK) == 0;
    }
    int LineBaud() const {
        termios t{};
        if (tcgetattr(master, &t) != 0) {
            return -1;
        }
        return SpeedToBaud(cfgetospeed(&t));
    }
    void Close() {
        if (slave >= 0) {
            close(slave);
        }
        if (master >= 0) {
            close(master);
        }
        slave = master = -1;
    }
};

void RemoveLinkIfOurs(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && std::string_view(buffer, static_cast<std::size_t>(n)) == target) {
        unlink(link.c_str());
    }
}

// Makes `link` a symbolic link to the terminal at `target`; false after telling why.
bool PointLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "projector-sim: cannot make the link %s: %s\n", link.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Opens the terminal (again), points the link at it and prints its path; false after telling
// why not.
bool OpenLine(const Program& program, Terminal& terminal) {
    if (!terminal.Open()) {
        std::fprintf(stderr, "projector-sim: cannot open a pseudo-terminal: %s\n",
                     std::strerror(errno));
        terminal.Close();
        return false;
    }
    if (!program.link.empty() && !PointLink(program.link, terminal.path)) {
        terminal.Close();
        return false;
    }
    std::printf("%s\n", terminal.path.c_str());
    std::fflush(stdout);
    return true;
}

int Run(Program& program) {
    int wake[2];
    if (pipe(wake) != 0) {
        return 1;
    }
    fcntl(wake[0], F_SETFL, O_NONBLOCK);
    fcntl(wake[1], F_SETFL, O_NONBLOCK);
    gWakeWrite = wake[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ProjectorSimulator simulator(program.sim);
    if (program.verbose) {
        simulator.onLog = [](const std::string& line) {
            std::fprintf(stderr, "projector-sim: %s\n", line.c_str());
        };
    }
    auto dump = [&]() {
        if (!program.dumpFile.empty()) {
            WriteWholeFile(program.dumpFile, FormatGammaDump(simulator.GammaBlocks()));
        }
    };
    simulator.onGammaBlock = [&](int) { dump(); };
    dump();

    Terminal terminal;
    if (!OpenLine(program, terminal)) {
        return 1;
    }

    std::vector<std::uint8_t> output; // answer bytes due and not yet taken by the terminal
    bool stdinOpen = program.stdinExit;
    std::optional<Nanos> hangUpAt; // when the terminal is closed after the last answer
    std::optional<Nanos> backAt;   // while the line is cut: when it comes back
    int status = 0;
    while (!gStop) {
        const Nanos now = NowNanos();
        if (gPowerButton) {
            gPowerButton = 0;
            simulator.SwitchOff();
        }
        if (gMainsSwitch) {
            gMainsSwitch = 0;
            simulator.SetMains(!simulator.MainsOn());
            if (program.verbose) {
                std::fprintf(stderr, "projector-sim: mains %s\n",
                             simulator.MainsOn() ? "on" : "off");
            }
        }
        if (backAt && now >= *backAt) {
            backAt.reset();
            if (!OpenLine(program, terminal)) {
                status = 1;
                break;
            }
            simulator.ComeBack();
        }
        if (terminal.master >= 0) {
            bool cut = simulator.Unplugged();
            if (!cut) {
                const auto due = simulator.Transmit(now);
                output.insert(output.end(), due.begin(), due.end());
                if (!output.empty()) {
                    const ssize_t n = write(terminal.master, output.data(), output.size());
                    if (n > 0) {
                        output.erase(output.begin(), output.begin() + n);
                    }
                }
                if (output.empty() && simulator.HungUp()) {
                    if (!hangUpAt) {
                        hangUpAt = now + kHangUpLinger;
                    } else if (now >= *hangUpAt) {
                        cut = true;
                    }
                }
            }
            if (cut) {
                if (program.verbose) {
                    std::fprintf(stderr, "projector-sim: %s\n",
                                 simulator.Unplugged() ? "unplugged" : "hanging up");
                }
                terminal.Close();
                output.clear();
                hangUpAt.reset();
                if (!program.comeBackAfter) {
                    break;
                }
                backAt = now + *program.comeBackAfter;
                continue;
            }
        }

        pollfd fds[3] = {{terminal.master, POLLIN, 0}, {wake[0], POLLIN, 0}, {-1, 0, 0}};
        if (!output.empty()) {
            fds[0].events |= POLLOUT;
        }
        if (stdinOpen) {
            fds[2] = {STDIN_FILENO, POLLIN, 0};
        }
        std::optional<Nanos> next;
        if (terminal.master >= 0) {
            next = simulator.NextEvent();
        }
        for (const auto& at : {hangUpAt, backAt}) {
            if (at && (!next || *at < *next)) {
                next = at;
            }
        }
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (next) {
            const Nanos wait = *next > now ? *next - now : 0;
            timeout.tv_sec = static_cast<time_t>(wait / 1000000000ULL);
            timeout.tv_nsec = static_cast<long>(wait % 1000000000ULL);
            timeoutPointer = &timeout;
        }
        if (ppoll(fds, 3, timeoutPointer, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "projector-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buffer[4096];
            // A line about to be cut carries only the bytes before the cut.
            const std::size_t room = simulator.BytesBeforeUnplug().value_or(sizeof buffer);
            const ssize_t n = read(terminal.master, buffer, std::min(sizeof buffer, room));
            if (n > 0) {
                simulator.Receive(buffer, static_cast<std::size_t>(n), terminal.LineBaud(),
                                  NowNanos());
            }
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                break; // the starter went away
            }
        }
        if (fds[1].revents & POLLIN) {
            char buffer[16];
            while (read(wake[0], buffer, sizeof buffer) > 0) {
            }
        }
    }

    dump();
    terminal.Close(); // keeps the path of the last terminal
    if (!program.link.empty()) {
        RemoveLinkIfOurs(program.link, terminal.path);
    }
    close(wake[0]);
    close(wake[1]);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Program program = ParseArguments(argc, argv);
    return Run(program);
}
