#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tonedesk::test {

// A program started for a whole-program test. Its stdout is read through a pipe, its stderr
// goes to a pipe as well (or to a file), its stdin is a pipe kept open until the object goes
// (so a simulator started with --stdin-exit ends with the test even when the test crashes).
// Every wait is bounded; the destructor kills and reaps a child that is still running.
class ChildProcess {
public:
    using Duration = std::chrono::milliseconds;

    // Starts `argv` (argv[0] is the program's path) with the test's environment plus `env`.
    // When stderrFile (stdoutFile) is not empty, stderr (stdout) goes there instead of a pipe;
    // the file is opened for writing, so it may be a device such as /dev/full.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env = {},
                 const std::string& stderrFile = {}, const std::string& stdoutFile = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of stdout (without its line break), or nothing when none came in time or
    // the output ended.
    std::optional<std::string> ReadLine(Duration timeout);
    // Waits for the end of the program, collecting its output. The exit status, or nothing
    // when it did not end in time (it is killed then) or ended by a signal.
    std::optional<int> Wait(Duration timeout);
    // Asks the program to end (SIGTERM) and waits for it.
    std::optional<int> Stop(Duration timeout);

    const std::string& Stdout() const { return out_; }
    const std::string& Stderr() const { return err_; }
    pid_t Pid() const { return pid_; }

private:
    // Reads what the pipes hold, waiting at most until `deadline`; false when both ended.
    bool Pump(std::chrono::steady_clock::time_point deadline);
    void Kill();

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string out_;
    std::string err_;
    std::size_t lineStart_ = 0; // what ReadLine has consumed of out_
    std::optional<int> status_;
};

// What a program run to its end left: its exit status (nothing when it did not end in time or
// ended by a signal), its stdout (empty when it went to a file) and its stderr.
struct ProgramResult {
    std::optional<int> exit;
    std::string out;
    std::string err;
};

// Runs `argv` as ChildProcess does and waits at most `timeout` for its end.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env,
                         ChildProcess::Duration timeout, const std::string& stdoutFile = {});

} // namespace tonedesk::test
