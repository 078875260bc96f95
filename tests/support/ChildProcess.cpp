#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ecu::test {

namespace {

using Clock = std::chrono::steady_clock;
// How long one wait for output lasts before the child's state is looked at again.
constexpr int PollSliceMs = 10;

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Reads everything there is; closes fd at its end.
void ReadAvailable(int& fd, std::string& into) {
    char buffer[65536];
    while (fd >= 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            into.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n == 0 || errno != EAGAIN)
            CloseFd(fd);
        else
            return;
    }
}

// The descriptor the child gets for one stream and, for a pipe, the parent's end.
struct StreamEnds {
    int child = -1;
    int parent = -1;
};

StreamEnds Open(const Stream& stream, bool input) {
    StreamEnds ends;
    switch (stream.kind) {
    case Stream::Kind::Pipe: {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return ends;
        ends.child = input ? fds[0] : fds[1];
        ends.parent = input ? fds[1] : fds[0];
        ::fcntl(ends.parent, F_SETFL, ::fcntl(ends.parent, F_GETFL) | O_NONBLOCK);
        break;
    }
    case Stream::Kind::Null:
        ends.child = ::open("/dev/null", (input ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
        break;
    case Stream::Kind::File:
        ends.child =
            input ? ::open(stream.path.c_str(), O_RDONLY | O_CLOEXEC)
                  : ::open(stream.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        break;
    case Stream::Kind::Closed:
        break;
    }
    return ends;
}

// This process's environment with `extra` put over it; a NAME without '=' is left out.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string& x) {
            return nameOf(x) == nameOf(entry);
        });
        if (!replaced)
            env.push_back(entry);
    }
    std::copy_if(extra.begin(), extra.end(), std::back_inserter(env),
                 [](const std::string& x) { return x.find('=') != std::string::npos; });
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           ChildOptions options) {
    Launch(program, args, options);
}

void ChildProcess::Launch(const std::string& program, const std::vector<std::string>& args,
                          const ChildOptions& options) {
    // Everything the child needs is made before the fork: after it, only calls that are
    // safe in a copy of a threaded process.
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = Environment(options.env);
    const std::vector<char*> argv = Pointers(argStrings);
    const std::vector<char*> envp = Pointers(envStrings);
    const Stream* streams[3] = {&options.in, &options.out, &options.err};
    StreamEnds ends[3];
    for (int fd = 0; fd < 3; ++fd)
        ends[fd] = Open(*streams[fd], fd == STDIN_FILENO);
    if (options.in.kind == Stream::Kind::Pipe)
        ::signal(SIGPIPE, SIG_IGN); // a child that stops reading gives EPIPE, not a signal

    pid_ = ::fork();
    if (pid_ == 0) {
        for (int fd = 0; fd < 3; ++fd) {
            if (ends[fd].child >= 0)
                ::dup2(ends[fd].child, fd);
            else
                ::close(fd);
        }
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0)
            ::_exit(125);
        if (options.beforeExec && !options.beforeExec())
            ::_exit(126);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    for (StreamEnds& e : ends)
        CloseFd(e.child);
    if (pid_ > 0)
        pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    in_ = ends[STDIN_FILENO].parent;
    out_ = ends[STDOUT_FILENO].parent;
    err_ = ends[STDERR_FILENO].parent;
    if (pid_ < 0) {
        CloseFd(in_);
        CloseFd(out_);
        CloseFd(err_);
    }
}

ChildProcess::~ChildProcess() {
    if (Started() && !Reap(false)) {
        ::kill(pid_, SIGKILL);
        Reap(true);
    }
    CloseFd(in_);
    CloseFd(out_);
    CloseFd(err_);
    CloseFd(pidFd_);
}

bool ChildProcess::Reap(bool wait) {
    if (reaped_ || !Started())
        return true;
    rusage usage{};
    pid_t r;
    do {
        r = ::wait4(pid_, &status_, wait ? 0 : WNOHANG, &usage);
    } while (r < 0 && errno == EINTR);
    reaped_ = r == pid_;
    if (reaped_) {
        peakKiB_ = usage.ru_maxrss;
        const auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        cpuSeconds_ = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    return reaped_;
}

bool ChildProcess::Running() {
    return Started() && !Reap(false);
}

void ChildProcess::Signal(int sig) {
    if (Running())
        ::kill(pid_, sig);
}

void ChildProcess::Drain(int ms) {
    pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {reaped_ ? -1 : pidFd_, POLLIN, 0}};
    if (ms > 0)
        ::poll(fds, 3, ms); // a negative descriptor is left out
    ReadAvailable(out_, output_);
    ReadAvailable(err_, errors_);
}

const std::string& ChildProcess::Output() {
    Drain();
    return output_;
}

const std::string& ChildProcess::Errors() {
    Drain();
    return errors_;
}

bool ChildProcess::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Drain();
        if (done())
            return true;
        if (!Running()) {
            Drain(); // what it wrote just before it ended
            return done();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        Drain(static_cast<int>(std::min<long long>(left, PollSliceMs)));
    }
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    return WaitUntil([&] { return output_.find(text) != std::string::npos; }, timeoutMs);
}

bool ChildProcess::WaitForErrors(const std::string& text, int timeoutMs) {
    return WaitUntil([&] { return errors_.find(text) != std::string::npos; }, timeoutMs);
}

bool ChildProcess::WaitForLines(std::size_t lines, int timeoutMs) {
    return WaitUntil(
        [&] {
            return static_cast<std::size_t>(std::count(output_.begin(), output_.end(), '\n')) >=
                   lines;
        },
        timeoutMs);
}

std::string ChildProcess::FirstLine(int timeoutMs) {
    WaitForLines(1, timeoutMs);
    return output_.substr(0, output_.find('\n'));
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    if (!Started() || !WaitUntil([this] { return !Running(); }, timeoutMs))
        return std::nullopt;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

bool ChildProcess::EndedBySignal() {
    return Started() && !Running() && WIFSIGNALED(status_);
}

bool ChildProcess::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0 && in_ >= 0) {
        pollfd fds[3] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}, {err_, POLLIN, 0}};
        ::poll(fds, 3, PollSliceMs);
        ReadAvailable(out_, output_);
        ReadAvailable(err_, errors_);
        if (!(fds[0].revents & (POLLOUT | POLLERR | POLLHUP)))
            continue;
        const ssize_t n = ::write(in_, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
    }
    return size == 0;
}

void ChildProcess::CloseInput() {
    CloseFd(in_);
}

void ChildProcess::CloseOutput() {
    CloseFd(out_);
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input, ChildOptions options) {
    constexpr int RunLimitMs = 120000;
    if (!input.empty())
        options.in = Stream::Pipe();
    ChildProcess child(program, args, std::move(options));
    child.Write(input.data(), input.size());
    child.CloseInput();
    ChildResult result;
    result.exitCode = child.WaitForExit(RunLimitMs).value_or(-1);
    result.out = child.Output();
    result.err = child.Errors();
    result.peakKiB = child.PeakKiB();
    return result;
}

} // namespace ecu::test
