// How quickly received bytes reach OnReceiveData on the UI thread, and what an
// open, idle port costs. The far side is a pseudo-terminal's master.
#include "Pty.h"
#include "serial/Comm32.h"
#include "wire/Frames.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using ecu::test::Pty;

double CpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// A data request's worth of bytes written on the far side, until the handler runs.
void BM_ReceiveLatency(benchmark::State& state) {
    Pty pty;
    ecu::TComm32 port;
    port.SetBaudRate(ecu::LinkBaudRate);
    port.SetCommPort(QString::fromStdString(pty.SlavePath()));
    bool arrived = false;
    Clock::time_point at;
    port.OnReceiveData = [&](const void*, std::uint16_t) {
        at = Clock::now();
        arrived = true;
    };
    port.OpenComm();
    QTimer wakeUp; // never let a lost burst block the loop for good
    wakeUp.start(1000);
    QCoreApplication::processEvents();

    const ecu::RequestFrame& request = ecu::DataRequest;
    std::vector<double> samples;
    for (auto _ : state) {
        arrived = false;
        const Clock::time_point sent = Clock::now();
        if (::write(pty.Master(), request.data(), request.size()) !=
            static_cast<ssize_t>(request.size())) {
            state.SkipWithError("write failed");
            break;
        }
        while (!arrived)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double seconds = std::chrono::duration<double>(at - sent).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
    }
    port.CloseComm();
    if (!samples.empty()) {
        state.counters["median_ms"] = Percentile(samples, 0.5);
        state.counters["p90_ms"] = Percentile(samples, 0.9);
        state.counters["max_ms"] = Percentile(samples, 1.0);
    }
}
BENCHMARK(BM_ReceiveLatency)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMillisecond);

// CPU time of the whole process while the port is open and nothing arrives.
void BM_IdleOpenPort(benchmark::State& state) {
    Pty pty;
    ecu::TComm32 port;
    port.SetBaudRate(ecu::LinkBaudRate);
    port.SetCommPort(QString::fromStdString(pty.SlavePath()));
    port.OpenComm();
    QCoreApplication::processEvents();
    const int idleMs = static_cast<int>(state.range(0));
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(idleMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        cpu = CpuSeconds() - before;
    }
    port.CloseComm();
    state.counters["cpu_ms"] = cpu * 1e3;
    state.counters["cpu_percent"] = 100.0 * cpu / (idleMs / 1000.0);
}
BENCHMARK(BM_IdleOpenPort)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
