#include "common/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tonedesk::test {

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait inside the loops: the child's end is noticed this soon after it comes.
constexpr int kPollSliceMs = 10;

void MakePipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
}

int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env,
                           const std::string& stderrFile, const std::string& stdoutFile) {
    int in[2];
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    MakePipe(in);
    if (stdoutFile.empty()) {
        MakePipe(out);
    }
    if (stderrFile.empty()) {
        MakePipe(err);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    if (stdoutFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (stderrFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) {
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const auto& [k, v] : env) {
        merged[k] = v;
    }
    std::vector<std::string> envText;
    for (const auto& [k, v] : merged) {
        envText.push_back(k + "=" + v);
    }
    std::vector<char*> envp;
    for (auto& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argvp;
    for (auto& a : args) {
        argvp.push_back(a.data());
    }
    argvp.push_back(nullptr);

    const int rc = posix_spawn(&pid_, argvp[0], &actions, nullptr, argvp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    if (out[1] >= 0) {
        close(out[1]);
    }
    if (err[1] >= 0) {
        close(err[1]);
    }
    stdinFd_ = in[1];
    stdoutFd_ = out[0];
    stderrFd_ = err[0];
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    Kill();
    for (int fd : {stdinFd_, stdoutFd_, stderrFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void ChildProcess::Kill() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = -1;
    }
}

bool ChildProcess::Pump(Clock::time_point deadline) {
    pollfd fds[2] = {{stdoutFd_, POLLIN, 0}, {stderrFd_, POLLIN, 0}};
    if (stdoutFd_ < 0 && stderrFd_ < 0) {
        return false;
    }
    const int n = poll(fds, 2, std::min(MsUntil(deadline), kPollSliceMs));
    if (n <= 0) {
        return true;
    }
    int* owners[2] = {&stdoutFd_, &stderrFd_};
    std::string* sinks[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            sinks[i]->append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            close(*owners[i]);
            *owners[i] = -1;
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(Duration timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = out_.find('\n', lineStart_);
        if (end != std::string::npos) {
            std::string line = out_.substr(lineStart_, end - lineStart_);
            lineStart_ = end + 1;
            return line;
        }
        if (Clock::now() >= deadline || (stdoutFd_ < 0)) {
            return std::nullopt;
        }
        Pump(deadline);
    }
}

std::optional<int> ChildProcess::Wait(Duration timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (Clock::now() >= deadline) {
            Kill();
            return std::nullopt;
        }
        if (!Pump(deadline)) {
            // Both outputs ended: only the exit itself is left to wait for.
            pollfd none{-1, 0, 0};
            poll(&none, 1, std::min(MsUntil(deadline), kPollSliceMs));
        }
    }
    // What the program wrote just before it ended.
    while (Pump(Clock::now())) {
        if (stdoutFd_ < 0 && stderrFd_ < 0) {
            break;
        }
        pollfd probe[2] = {{stdoutFd_, POLLIN, 0}, {stderrFd_, POLLIN, 0}};
        if (poll(probe, 2, 0) <= 0) {
            break;
        }
    }
    if (*status_ < 0) {
        return std::nullopt;
    }
    return status_;
}

std::optional<int> ChildProcess::Stop(Duration timeout) {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGTERM);
    }
    return Wait(timeout);
}

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env,
                         ChildProcess::Duration timeout, const std::string& stdoutFile) {
    ChildProcess process(argv, env, {}, stdoutFile);
    ProgramResult r;
    r.exit = process.Wait(timeout);
    r.out = process.Stdout();
    r.err = process.Stderr();
    return r;
}

} // namespace tonedesk::test
