#pragma once
// One of the project's commands run as a child process: started with its standard streams
// where the test wants them, read, fed, signalled and reaped. The child inherits this
// process's environment (so the private port map too) plus `env`.
//
// Started with a plain fork and exec: a vfork-style start (posix_spawn) shares the parent's
// memory with the child until exec, which the thread sanitizer takes for a fork of the
// parent, and then refuses the next thread the parent starts.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ecu::test {

// Where one standard stream of the child goes.
struct Stream {
    enum class Kind { Pipe, Null, Closed, File };
    Kind kind = Kind::Pipe;
    std::string path; // File: read for standard input, created or emptied for output

    static Stream Pipe() { return {}; }
    static Stream Null() { return {Kind::Null, {}}; }
    static Stream Closed() { return {Kind::Closed, {}}; }
    static Stream File(std::string path) { return {Kind::File, std::move(path)}; }
};

struct ChildOptions {
    Stream in = Stream::Null();
    Stream out = Stream::Pipe();
    Stream err = Stream::Pipe();
    // "NAME=value" replaces what is inherited under NAME; a bare "NAME" leaves it out.
    std::vector<std::string> env;
    std::string cwd;
    // Runs in the child just before exec: async-signal-safe calls only (setrlimit,
    // setuid, signal). False ends the child with exit code 126.
    std::function<bool()> beforeExec;
};

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 ChildOptions options = {});
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    bool Running();
    // Sends sig while the child runs (never to a reaped id, which may be anyone's by then).
    void Signal(int sig);

    // Writes all of data to its standard input, reading its output meanwhile so that
    // neither side blocks the other; false once it stopped reading.
    bool Write(const void* data, std::size_t size);
    void CloseInput();
    // The reader of its standard output goes away.
    void CloseOutput();

    // Each waits until what it names is there; false when the child ended or timeoutMs
    // passed first.
    bool WaitForOutput(const std::string& text, int timeoutMs = DefaultTimeoutMs);
    bool WaitForErrors(const std::string& text, int timeoutMs = DefaultTimeoutMs);
    bool WaitForLines(std::size_t lines, int timeoutMs = DefaultTimeoutMs);
    // The exit code, or 128 + the signal that ended it; nothing while it still runs after
    // timeoutMs.
    std::optional<int> WaitForExit(int timeoutMs = DefaultTimeoutMs);
    bool EndedBySignal();
    // Its peak resident set and the processor time it took, once reaped.
    long PeakKiB() const { return peakKiB_; }
    double CpuSeconds() const { return cpuSeconds_; }

    // What it wrote so far (Pipe streams only).
    const std::string& Output();
    const std::string& Errors();
    // The first line of its output, without the newline; waits for it as WaitForLines.
    std::string FirstLine(int timeoutMs = DefaultTimeoutMs);

    static constexpr int DefaultTimeoutMs = 20000;

private:
    void Launch(const std::string& program, const std::vector<std::string>& args,
                const ChildOptions& options);
    // Reads what is there; waits up to ms for more first.
    void Drain(int ms = 0);
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
    // Reaps the child when it has ended; true once reaped.
    bool Reap(bool wait);

    pid_t pid_ = -1;
    int pidFd_ = -1; // readable once the child has ended, so a wait wakes at once
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    long peakKiB_ = 0;
    double cpuSeconds_ = 0;
    std::string output_;
    std::string errors_;
};

// A child run to its end with `input` on its standard input.
struct ChildResult {
    int exitCode = -1; // 128 + signal when a signal ended it; -1 when it never ended
    std::string out;
    std::string err;
    long peakKiB = 0;
};
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input = {}, ChildOptions options = {});

} // namespace ecu::test
