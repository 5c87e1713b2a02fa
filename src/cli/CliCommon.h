#pragma once

// Shared plumbing of tonedesk-cli. A subcommand is one function
//
//     int RunXxx(CliArgs& args, CliContext& context);
//
// declared in cli/CliCommands.h, defined in its own file CliXxx.cpp and listed, with the options
// it takes, in the table of cli/main.cpp. It takes its options and words from `args` (a bad or
// missing one throws
// UsageError, which main reports with exit status 2), uses the profile, the link and the
// servicing loops of `context`, writes its results to stdout and its messages to stderr, and
// returns one of the exit statuses below.

#include "cli/CliPortFactory.h"
#include "gamma/GammaFile.h"
#include "link/ProjectorLink.h"
#include "link/ServiceLog.h"
#include "support/Clock.h"
#include "support/Notifier.h"
#include "support/Settings.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tonedesk::cli {

// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;     // done
inline constexpr int kExitFailed = 1; // the operation failed (no answer, rejected, dropped)
inline constexpr int kExitUsage = 2;  // bad usage or bad input

// The servicing loops ran longer than the command's time limit (--timeout): main prints the
// text and exits with 1.
class TimeLimitReached : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Time limit of a command's work on the link unless --timeout says otherwise.
inline constexpr std::chrono::seconds kDefaultTimeLimit{600};

// Bad usage or input: main prints the text and the command's synopsis and exits with 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bad input that is not the command line's (a profile that cannot be read): main prints the
// text and exits with 2.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `text` read whole as a decimal integer within [min, max]; nothing when it is no such number.
std::optional<int> DecimalInRange(std::string_view text, int min, int max);

// The words after the subcommand's name as the command line's parser read them: the options the
// command declares in the table of cli/main.cpp ("--port 3" or "--port=3") and the positional
// words. Take every option first, then call Positionals().
class CliArgs {
public:
    // What the command line gave of one declared option: its values in order (none for a flag
    // that takes no value) and how often it was given.
    struct Given {
        std::vector<std::string> values;
        int count = 0;
    };
    // Every option the command declares, named with its dashes ("--port"), and the words.
    CliArgs(std::map<std::string, Given, std::less<>> options, std::vector<std::string> words)
        : options_(std::move(options)), words_(std::move(words)) {}

    // The value of "--name VALUE", or nothing when the option is absent. UsageError when it is
    // given twice. Asking for an option the command does not declare is a programming error
    // (std::logic_error).
    std::optional<std::string> TakeOption(std::string_view name);
    // The same, read as a decimal integer within [min, max] (UsageError otherwise).
    std::optional<int> TakeInt(std::string_view name, int min, int max);
    // True when "--name" is present (it takes no value); UsageError when it is given twice.
    bool TakeFlag(std::string_view name);
    // The positional words (a word after "--" is always one).
    std::vector<std::string> Positionals() { return words_; }

private:
    std::map<std::string, Given, std::less<>> options_;
    std::vector<std::string> words_;

    // What was given of the declared option `name`, checked to be given at most once.
    const Given& Once(std::string_view name) const;
};

// Tells the user what the link reports, on stderr, and remembers the message ids.
class CliNotifier final : public Notifier {
public:
    void Message(int stringId, const std::string& argument) override;
    void FileError(const std::string& fileName, const std::string& reason) override;

    // Message ids shown so far (4102: queue dropped after missing answers, 4105: transfer
    // rejected).
    std::vector<int> messages;
};

// Names on stderr each model file that the last search of `model` passed over because it could
// not be read, once per name in `named` (which collects the names told).
void ReportSkippedModelFiles(const CModelFile& model, std::set<std::string>& named);

// Everything a subcommand works with: the user's profile (QSettings, organisation "VANTO",
// application "Vanto Tonedesk"; tests point XDG_CONFIG_HOME elsewhere), the steady clock, the
// COM ports resolved through the profile (section "PORTS") and the link, built on first use
// with the profile's link settings.
class CliContext {
public:
    // InputError when the profile exists but cannot be used; what the profile ignores is named
    // in warnings on stderr.
    CliContext();
    ~CliContext();
    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

    Settings& Profile() { return *settings_; }
    const Clock& Time() const { return clock_; }
    CliNotifier& Notify() { return notifier_; }
    CliPortFactory& Ports() { return *ports_; }
    CProjectorLink& Link();

    // How long the servicing loops below may run in all before the command gives up with
    // TimeLimitReached (a projector may keep the link busy for ever, for example by answering
    // "OK" to a power query, which is sent again without end).
    void SetTimeLimit(std::chrono::seconds limit) { timeLimit_ = limit; }
    // Appends every exchange of the link to this file (--log): written from the servicing
    // loops at least every 200 ms and at the end. A file that cannot be written is named once
    // on stderr and never changes the command's result.
    void SetLogFile(const std::string& path);

    // Calls Service whenever the link has work (sleeping in between) until `done` returns true.
    // True when a queue was dropped meanwhile: Service reported it (missing answers, message
    // 4102 shown) or the link showed message 4105 (a transfer rejected RETRY times).
    bool ServiceUntil(const std::function<bool()>& done);
    // Until the port (null: the current port) has nothing queued and awaits no answer.
    bool ServiceUntilIdle(PortEntry* port = nullptr);
    // Until the running scan has ended.
    void ServiceUntilScanEnds();

    // How long the servicing loops ran in all, from the first service to the end of the last
    // loop; nothing when the command never serviced the link.
    std::optional<std::chrono::steady_clock::duration> LinkWorkTime() const;

    // Opens COM `comNumber` outside the scanning mode and makes it the current port. At
    // `baudRate` when it is not 0; otherwise the port is probed with the name query as the scan
    // does (each rate RETRY2 times, one cycle of the three rates) and opened at the rate that
    // was answered. Null, with a message on stderr, when the port cannot be opened or nothing
    // answered.
    PortEntry* OpenPort(int comNumber, int baudRate);

private:
    std::unique_ptr<Settings> settings_;
    SteadyClock clock_;
    std::unique_ptr<CliPortFactory> ports_;
    CliNotifier notifier_;
    std::unique_ptr<ServiceLog> log_;
    std::unique_ptr<CProjectorLink> link_;
    std::chrono::seconds timeLimit_ = kDefaultTimeLimit;
    std::optional<std::chrono::steady_clock::time_point> firstService_;
    std::chrono::steady_clock::time_point lastServiceEnd_;

    // Writes the log when due (or now) and names a failure to write it once.
    void FlushLog(bool now);
};

// Writes the command's output to stdout at once, formatted as printf does. A write that fails
// is kept for OutputError, so that the command can fail with the system's reason (a full disk)
// however much it wrote.
[[gnu::format(printf, 1, 2)]] void PrintOut(const char* format, ...);
// The error number of the first output write that failed, 0 when none failed.
int OutputError();

// A 9-byte command from the 8 characters the user typed: CR appended. UsageError for any other
// length or for a control character in it.
std::string CommandFromWord(const std::string& word);

} // namespace tonedesk::cli
