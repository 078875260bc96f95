// ecu-sim: an engine control unit on a pseudo-terminal, for trying the scanner without a car.
#include "ecu-sim/CommandLine.h"
#include "ecu-sim/EcuSimulator.h"
#include "ecu-sim/PortLink.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

// One line per entry: seconds since start, the bytes in hex; skipped bytes are marked.
class FrameLog {
public:
    explicit FrameLog(const std::string& path) : start_(Clock::now()) {
        file_ = std::fopen(path.c_str(), "w");
        if (!file_)
            throw std::system_error(errno, std::generic_category(), "open " + path);
    }
    ~FrameLog() { std::fclose(file_); }
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    void Write(const ecu::SimFrame& frame) {
        std::lock_guard lock(mutex_);
        std::fprintf(file_, "%10.3f ", std::chrono::duration<double>(frame.time - start_).count());
        for (const std::uint8_t b : frame.bytes)
            std::fprintf(file_, " %02X", b);
        std::fputs(frame.valid ? "\n" : "  (skipped)\n", file_);
        std::fflush(file_); // people watch it with tail -f
    }

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    Clock::time_point start_;
};

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
    if (!command.portName.empty())
        link = std::make_unique<ecu::PortLink>(command.portName, sim.SlavePath());

    std::printf("%s\n", sim.SlavePath().c_str());
    if (link)
        std::printf("%s -> %s\n", link->Path().c_str(), sim.SlavePath().c_str());
    std::fflush(stdout);

    const timespec tick{0, 200'000'000L};
    while (sim.Running()) {
        if (sigtimedwait(&signals, nullptr, &tick) > 0)
            break;
    }
    const bool failed = !sim.Running();
    sim.Stop();
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
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
