#pragma once
// One of the project's own tools run as a separate process next to the window
// under test: a simulator that can be killed like an unplugged adapter, or a
// logger that holds the port. The child inherits this process's environment, so
// it sees the same temporary port map.
//
// Started with a plain fork and exec: a vfork-style start shares the parent's
// memory with the child until exec, which the thread sanitizer takes for a fork
// of the parent, and then refuses the window's next thread.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ecu::garage {

class ChildProcess {
public:
    ChildProcess(const char* program, const std::vector<std::string>& arguments);
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Running();
    // Reads standard output until it holds `text`; false when the child ended or
    // timeoutMs passed first.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    // Sends sig to the child (SIGKILL: an adapter pulled out).
    void Signal(int sig);
    // The exit code once the child has ended by itself within timeoutMs; nothing
    // when it is still running or a signal ended it.
    std::optional<int> WaitForExit(int timeoutMs);
    bool EndedBySignal();
    // What the child wrote so far.
    const std::string& Output();
    const std::string& Errors();

private:
    void Drain();
    // Reaps the child when it has ended; true once reaped.
    bool Reap(bool wait);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string output_;
    std::string errors_;
};

} // namespace ecu::garage
