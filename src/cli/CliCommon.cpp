#include "cli/CliCommon.h"

#include "support/FileReplace.h"
#include "support/qt/QtSettingsStore.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace tonedesk::cli {

namespace {

// The longest wait for the link's work between two calls of Service: the time limit is looked
// at this often while the projector is silent.
constexpr Tick kLongestWaitMs = 100;

// Sleeps until the link has work: an open port's descriptor turns readable or the link's next
// deadline comes; at most kLongestWaitMs. So the loop neither spins nor wakes every millisecond
// while the projector is silent.
void WaitForLinkWork(const CProjectorLink& link, const Clock& clock) {
    auto wait = static_cast<std::int32_t>(kLongestWaitMs);
    if (const std::optional<Tick> due = link.NextDeadline()) {
        wait = std::clamp(static_cast<std::int32_t>(*due - clock.Now()), 0, wait);
    }
    if (wait == 0) {
        return;
    }
    std::vector<pollfd> watched;
    for (const int descriptor : link.ReadinessDescriptors()) {
        watched.push_back({descriptor, POLLIN, 0});
    }
    // A signal ends the wait early; the caller services and waits again.
    ::poll(watched.data(), watched.size(), wait);
}

const char* MessageText(int stringId) {
    switch (stringId) {
    case kMessageQueueDropped:
        return "the projector did not answer; the queued commands were dropped";
    case kMessageTransferRejected:
        return "the projector rejected a block; the queued commands were dropped";
    default:
        return nullptr;
    }
}

} // namespace

const CliArgs::Given& CliArgs::Once(std::string_view name) const {
    const auto it = options_.find(name);
    if (it == options_.end()) {
        throw std::logic_error("the command does not declare the option " + std::string(name));
    }
    if (it->second.count > 1) {
        throw UsageError(std::string(name) + " is given twice");
    }
    return it->second;
}

std::optional<std::string> CliArgs::TakeOption(std::string_view name) {
    const Given& given = Once(name);
    if (given.values.empty()) {
        return std::nullopt;
    }
    return given.values.front();
}

std::optional<int> DecimalInRange(std::string_view text, int min, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> CliArgs::TakeInt(std::string_view name, int min, int max) {
    const auto text = TakeOption(name);
    if (!text) {
        return std::nullopt;
    }
    const std::optional<int> value = DecimalInRange(*text, min, max);
    if (!value) {
        throw UsageError(std::string(name) + " needs a number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not '" + *text + "'");
    }
    return value;
}

bool CliArgs::TakeFlag(std::string_view name) {
    return Once(name).count > 0;
}

void CliNotifier::Message(int stringId, const std::string& argument) {
    messages.push_back(stringId);
    if (const char* text = MessageText(stringId)) {
        std::fprintf(stderr, "tonedesk-cli: %s\n", text);
    } else {
        std::fprintf(stderr, "tonedesk-cli: message %d %s\n", stringId, argument.c_str());
    }
}

void CliNotifier::FileError(const std::string& fileName, const std::string& reason) {
    std::fprintf(stderr, "tonedesk-cli: %s: %s\n", fileName.c_str(), reason.c_str());
}

void ReportSkippedModelFiles(const CModelFile& model, std::set<std::string>& named) {
    for (const CModelFile::SkippedFile& skipped : model.SkippedFiles()) {
        if (named.insert(skipped.path).second) {
            std::fprintf(stderr, "tonedesk-cli: %s: %s (model file skipped)\n",
                         skipped.path.c_str(), skipped.reason.c_str());
        }
    }
}

CliContext::CliContext() : settings_(std::make_unique<QtSettingsStore>()) {
    // Its defaults would probe every default port, which its section "PORTS" may forbid.
    if (const auto failure = settings_->LoadFailure()) {
        throw InputError("the profile " + failure->fileName +
                         " cannot be used: " + failure->reason);
    }
    for (const std::string& warning : settings_->LoadWarnings()) {
        std::fprintf(stderr, "tonedesk-cli: warning: %s\n", warning.c_str());
    }
    ports_ = std::make_unique<CliPortFactory>(*settings_);
}

CliContext::~CliContext() {
    if (link_ && log_) {
        link_->CloseOtherPorts(-1); // the log records the closes
    }
    FlushLog(true);
}

void CliContext::SetLogFile(const std::string& path) {
    if (!log_) {
        log_ = std::make_unique<ServiceLog>(clock_);
        if (link_) {
            link_->SetExchangeSink(log_->Sink());
        }
    }
    log_->SetFile(path);
}

void CliContext::FlushLog(bool now) {
    if (!log_) {
        return;
    }
    if (now) {
        log_->Flush();
    } else {
        log_->Poll();
    }
    if (const std::string warning = log_->TakeWarning(); !warning.empty()) {
        std::fprintf(stderr, "tonedesk-cli: warning: cannot write the service log %s: %s\n",
                     log_->File().c_str(), warning.c_str());
    }
}

CProjectorLink& CliContext::Link() {
    if (!link_) {
        link_ = std::make_unique<CProjectorLink>(*settings_, clock_, *ports_, notifier_);
        // The link starts in the scanning mode; a command that does not scan leaves it.
        link_->StopScanning();
        if (log_) {
            link_->SetExchangeSink(log_->Sink());
        }
    }
    return *link_;
}

bool CliContext::ServiceUntil(const std::function<bool()>& done) {
    CProjectorLink& link = Link();
    const std::size_t messagesBefore = notifier_.messages.size();
    bool dropped = false;
    if (!firstService_) {
        firstService_ = std::chrono::steady_clock::now();
    }
    while (!done()) {
        dropped = link.Service() || dropped;
        FlushLog(false);
        if (done()) {
            break;
        }
        if (std::chrono::steady_clock::now() - *firstService_ > timeLimit_) {
            throw TimeLimitReached("no end after " + std::to_string(timeLimit_.count()) +
                                   " s: the projector keeps the link busy");
        }
        // Serviced as the program does: when bytes arrive or the next deadline comes.
        WaitForLinkWork(link, clock_);
    }
    lastServiceEnd_ = std::chrono::steady_clock::now();
    const bool rejected = std::any_of(
        notifier_.messages.begin() + static_cast<std::ptrdiff_t>(messagesBefore),
        notifier_.messages.end(), [](int id) { return id == kMessageTransferRejected; });
    if (dropped) {
        notifier_.Message(kMessageQueueDropped, {}); // what the program's frame shows
    }
    return dropped || rejected;
}

std::optional<std::chrono::steady_clock::duration> CliContext::LinkWorkTime() const {
    if (!firstService_) {
        return std::nullopt;
    }
    return lastServiceEnd_ - *firstService_;
}

bool CliContext::ServiceUntilIdle(PortEntry* port) {
    return ServiceUntil([&] { return !Link().IsBusy(port); });
}

void CliContext::ServiceUntilScanEnds() {
    ServiceUntil([&] { return !Link().Scanning(); });
}

PortEntry* CliContext::OpenPort(int comNumber, int baudRate) {
    CProjectorLink& link = Link();
    PortEntry* port = link.UsePort(comNumber);
    if (!port) {
        std::fprintf(stderr, "tonedesk-cli: %s cannot be opened: %s\n",
                     ports_->PortName(comNumber).c_str(), ports_->LastOpenFailure().c_str());
        return nullptr;
    }
    if (baudRate == 0) {
        // The scanning mode of the link on this one port: the name query at each rate in
        // turn, one cycle.
        if (link.StartProbe(*port, kBaudRates)) {
            ServiceUntilScanEnds();
        }
        if (!port->AnsweredProbe()) {
            std::fprintf(stderr, "tonedesk-cli: no projector answered on COM%d\n", comNumber);
            return nullptr;
        }
        baudRate = port->baudRate;
    }
    port->baudRate = baudRate;
    if (!link.OpenPort(*port)) {
        std::fprintf(stderr, "tonedesk-cli: %s cannot be opened: %s\n",
                     ports_->PortName(comNumber).c_str(), ports_->LastOpenFailure().c_str());
        return nullptr;
    }
    return port;
}

namespace {
int firstOutputError = 0;
} // namespace

void PrintOut(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (firstOutputError == 0) {
        firstOutputError = WriteAll(STDOUT_FILENO, text.data(), text.size());
    }
}

int OutputError() {
    return firstOutputError;
}

std::string CommandFromWord(const std::string& word) {
    if (word.size() != 8) {
        throw UsageError("a command has 8 characters (a code and a parameter), not '" + word + "'");
    }
    if (std::any_of(word.begin(), word.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 32; })) {
        throw UsageError("a command has no control characters");
    }
    return word + '\r';
}

} // namespace tonedesk::cli
