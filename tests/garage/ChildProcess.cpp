#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ecu::garage {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void ReadAll(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            into.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return;
    }
}

} // namespace

ChildProcess::ChildProcess(const char* program, const std::vector<std::string>& arguments) {
    // Everything the child needs is made before the fork: after it, only calls
    // that are safe in a copy of a threaded process.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        for (int fd : {in, out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    ::close(in);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    for (int fd : {out_, err_})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (pid_ < 0) {
        CloseFd(out_);
        CloseFd(err_);
    }
}

ChildProcess::~ChildProcess() {
    if (Started() && !Reap(false)) {
        ::kill(pid_, SIGKILL);
        Reap(true);
    }
    CloseFd(out_);
    CloseFd(err_);
}

bool ChildProcess::Reap(bool wait) {
    if (reaped_ || !Started())
        return true;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status_, wait ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    reaped_ = r == pid_;
    return reaped_;
}

bool ChildProcess::Running() {
    return Started() && !Reap(false);
}

void ChildProcess::Drain() {
    if (out_ >= 0)
        ReadAll(out_, output_);
    if (err_ >= 0)
        ReadAll(err_, errors_);
}

const std::string& ChildProcess::Output() {
    Drain();
    return output_;
}

const std::string& ChildProcess::Errors() {
    Drain();
    return errors_;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Output().find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!Running() || left.count() <= 0 || out_ < 0)
            return Output().find(text) != std::string::npos;
        pollfd p{out_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
    return true;
}

void ChildProcess::Signal(int sig) {
    if (Running())
        ::kill(pid_, sig);
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
        Drain(); // a child blocked on a full pipe would never end
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Drain();
    if (!Started() || !WIFEXITED(status_))
        return std::nullopt;
    return WEXITSTATUS(status_);
}

bool ChildProcess::EndedBySignal() {
    return Started() && !Running() && WIFSIGNALED(status_);
}

} // namespace ecu::garage
