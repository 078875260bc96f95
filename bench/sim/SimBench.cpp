// Time of one data-request exchange with the simulator, from the request's write to the last
// answer byte read: paced at the line's rate (what a live session waits for) and fast.
#include "ecu-sim/AnswerEncoder.h"
#include "ecu-sim/EcuSimulator.h"
#include "wire/Frames.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const ecu::RequestFrame& kDataRequest = ecu::DataRequest;

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("open " + path);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

bool ReadAll(int fd, std::size_t count) {
    std::uint8_t buf[256];
    while (count > 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, count));
        if (n <= 0)
            return false;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

void Exchange(benchmark::State& state, bool fast) {
    ecu::SimOptions o;
    o.fast = fast;
    o.variant = state.range(0) ? ecu::EngineVariant::Dohc : ecu::EngineVariant::Sohc;
    ecu::EcuSimulator sim(o);
    sim.Start();
    const int fd = OpenRaw(sim.SlavePath());
    const std::size_t expected = kDataRequest.size() + ecu::DataAnswerSize(o.variant);
    for (auto _ : state) {
        const auto start = Clock::now();
        if (::write(fd, kDataRequest.data(), kDataRequest.size()) !=
                static_cast<ssize_t>(kDataRequest.size()) ||
            !ReadAll(fd, expected)) {
            state.SkipWithError("exchange failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    ::close(fd);
}

void BM_PacedExchange(benchmark::State& state) {
    Exchange(state, false);
}
void BM_FastExchange(benchmark::State& state) {
    Exchange(state, true);
}

BENCHMARK(BM_PacedExchange)
    ->ArgName("dohc")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(BM_FastExchange)
    ->ArgName("dohc")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
