// ecu-sim: an engine control unit on a pseudo-terminal, for trying the scanner without a car.
#include "common/StandardStreams.h"
#include "ecu-sim/SimCommand.h"
#include "ecu-sim/EcuSimulator.h"
#include "ecu-sim/PortLink.h"
#include "serial/PortMap.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

// One line per entry: seconds since start, the bytes in hex; skipped bytes are marked.
// The first failed write (a full disk) ends the logging; Error() tells the main loop.
class FrameLog {
public:
    explicit FrameLog(const std::string& path) : path_(path), start_(Clock::now()) {
        file_ = std::fopen(path.c_str(), "w");
        if (!file_)
            throw std::system_error(errno, std::generic_category(), "open " + path);
    }
    ~FrameLog() {
        if (file_)
            std::fclose(file_);
    }
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    void Write(const ecu::SimFrame& frame) {
        std::lock_guard lock(mutex_);
        if (error_.load() || !file_)
            return;
        errno = 0;
        std::fprintf(file_, "%10.3f ", std::chrono::duration<double>(frame.time - start_).count());
        for (const std::uint8_t b : frame.bytes)
            std::fprintf(file_, " %02X", b);
        std::fputs(frame.valid ? "\n" : "  (skipped)\n", file_);
        // Flushed line by line: people watch it with tail -f.
        if (std::fflush(file_) != 0 || std::ferror(file_))
            error_.store(errno ? errno : EIO);
    }

    // Closes the file; the error of the first failed write or of the close, 0 when none.
    int Close() {
        std::lock_guard lock(mutex_);
        if (file_ && std::fclose(file_) != 0 && !error_.load())
            error_.store(errno ? errno : EIO);
        file_ = nullptr;
        return error_.load();
    }

    int Error() const { return error_.load(); }
    const std::string& Path() const { return path_; }

private:
    std::mutex mutex_;
    std::string path_;
    std::FILE* file_ = nullptr;
    Clock::time_point start_;
    std::atomic<int> error_{0};
};

bool ReportLogError(const FrameLog& log, int error) {
    if (!error)
        return false;
    std::fprintf(stderr, "ecu-sim: %s: %s\n", log.Path().c_str(), std::strerror(error));
    return true;
}

int Run(const ecu::SimCommand& command) {
    // Signals are taken by sigtimedwait below; blocked before the line thread starts so that
    // it inherits the mask and never receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    ecu::EcuSimulator sim(command.options);
    if (command.faultBytes)
        sim.SetFaultBytes(command.faultBytes->first, command.faultBytes->second);
    std::unique_ptr<FrameLog> log;
    if (!command.logPath.empty()) {
        log = std::make_unique<FrameLog>(command.logPath);
        sim.SetFrameObserver([&log](const ecu::SimFrame& f) { log->Write(f); });
    }
    if (command.device.empty())
        sim.Start();
    else
        sim.StartOnDevice(command.device);

    std::unique_ptr<ecu::PortLink> link;
    if (!command.portName.empty()) {
        // What simulators that ended left on the name is put right first, and said.
        for (const ecu::Released& dead : ecu::SettlePort(ecu::PortMapDirectory(), command.portName))
            std::fprintf(stderr, "ecu-sim: %s %s\n", command.portName.c_str(),
                         ecu::ReleasedText(dead).c_str());
        try {
            link =
                std::make_unique<ecu::PortLink>(command.portName, sim.SlavePath(),
                                                command.replace ? ecu::PortLink::Existing::Replace
                                                                : ecu::PortLink::Existing::Refuse);
        } catch (const ecu::PortNameTaken& e) {
            std::error_code ec;
            const bool stale =
                e.Target().starts_with("/dev/pts/") && !std::filesystem::exists(e.Target(), ec);
            std::fprintf(stderr, "ecu-sim: %s%s; --replace takes it over while ecu-sim runs\n",
                         e.what(),
                         stale ? ", a pseudo-terminal that has closed: a stale link, which "
                                 "ecu-ports unlink removes"
                               : "");
            return 1;
        }
    }

    std::printf("%s\n", sim.SlavePath().c_str());
    if (link) {
        std::printf("%s -> %s", link->Path().c_str(), sim.SlavePath().c_str());
        if (link->Previous())
            std::printf(" (was %s, restored at exit)", link->Previous()->c_str());
        std::printf("\n");
    }
    std::fflush(stdout);

    const timespec tick{0, 200'000'000L};
    while (sim.Running() && !(log && log->Error())) {
        if (sigtimedwait(&signals, nullptr, &tick) > 0)
            break;
    }
    bool failed = !sim.Running();
    sim.Stop();
    if (log && ReportLogError(*log, log->Close()))
        failed = true;
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!ecu::cmdline::OpenClosedStandardStreams())
        return 1;
    // A reader of the frame log or of standard output that goes away is a write error, which
    // ends the run through its cleanup; the signal would kill it with the port link left.
    std::signal(SIGPIPE, SIG_IGN);
    ecu::SimCommand command;
    const std::string error = ecu::ParseSimCommand({argv + 1, argv + argc}, command);
    if (!error.empty()) {
        std::fprintf(stderr, "ecu-sim: %s\n\n%s", error.c_str(), ecu::kSimUsage);
        return 2;
    }
    if (command.help) {
        std::fputs(ecu::kSimUsage, stdout);
        return 0;
    }
    try {
        return Run(command);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-sim: %s\n", e.what());
        return 1;
    }
}
