// The main window as a mechanic meets it.
//
// StartUp: from spawning a process to its main window shown, the port opened on
// the simulator included (the child is this program in a child mode that runs the
// same start-up as ecuscan).
//
// PollingCpu: the whole program polling the paced simulator (8192 baud, 120 ms)
// on the parameters page, and ecu-log polling the same simulator (PollingCpuPage:
// the program alone on each of the other pages): processor time
// of every thread of each process, from the scheduler's own count, as a share of
// one core over ECU_BENCH_SECONDS (default 20) after a 2 s settling time.
//
// QuitWhilePolling: Exit pressed while the program polls the paced simulator, at
// different points of the cycle: milliseconds from the press to the end of the
// program's main loop.
#include "ChildProcess.h"
#include "PortMap.h"
#include "app/Application.h"
#include "app/TGlForm.h"
#include "ecu-sim/EcuSimulator.h"
#include "serial/Comm32.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* SpawnTimeVar = "ECU_BENCH_SPAWN_NS";
constexpr int StartUpRuns = 10;
constexpr int SettleSeconds = 2;
constexpr int ChildLimitMs = 30000;

std::int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int RunSeconds() {
    const char* s = std::getenv("ECU_BENCH_SECONDS");
    const int n = s ? std::atoi(s) : 0;
    return n > 0 ? n : 20;
}

class SilentPresenter : public ecu::MessagePresenter {
public:
    void ShowMessage(const QString& caption, const QString& text, ecu::MessageIcon) override {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
    }
};

// Child: start-up as ecuscan does it; prints the milliseconds since the spawn.
int StartUpChild(int argc, char** argv) {
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    SilentPresenter boxes;
    ecu::TGlForm window({&boxes, nullptr});
    window.show();
    QTimer::singleShot(0, [&] {
        const char* spawned = std::getenv(SpawnTimeVar);
        const double ms =
            static_cast<double>(MonotonicNs() - std::atoll(spawned ? spawned : "0")) / 1e6;
        std::printf("%.3f %d\n", ms, window.Ecu().Comm().Connected() ? 1 : 0);
        std::fflush(stdout);
        std::_Exit(0);
    });
    return QApplication::exec();
}

// Child: polls on the page given after the mode (the parameters page without one)
// until it is killed.
int PollChild(int argc, char** argv) {
    const int page = argc >= 3 ? std::atoi(argv[2]) : ecu::PageParameters;
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    SilentPresenter boxes;
    ecu::TGlForm window({&boxes, nullptr});
    window.show();
    QTimer::singleShot(0, [&] {
        window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"))->setCurrentIndex(page);
        window.BitBtnStartClick();
    });
    return QApplication::exec();
}

// Child: polls on the parameters page, presses Exit after the given milliseconds
// and prints how long the program took from there to leave its main loop.
int QuitChild(int argc, char** argv) {
    const int exitAfterMs = argc >= 3 ? std::atoi(argv[2]) : 1500;
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    SilentPresenter boxes;
    ecu::TGlForm window({&boxes, nullptr});
    window.show();
    std::int64_t pressed = 0;
    QTimer::singleShot(0, [&] {
        window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"))
            ->setCurrentIndex(ecu::PageParameters);
        window.BitBtnStartClick();
    });
    QTimer::singleShot(exitAfterMs, [&] {
        pressed = MonotonicNs();
        window.close();
    });
    QApplication::exec();
    std::printf("%.3f %d\n", static_cast<double>(MonotonicNs() - pressed) / 1e6,
                window.Ecu().LoopRunning() ? 0 : 1);
    return 0;
}

using ecu::test::ChildOptions;
using ecu::test::ChildProcess;
using ecu::test::Stream;

// A private port map with COM1 on the simulator and COM2 leading nowhere; children inherit it.
struct PortMap : ecu::test::PortMap {
    explicit PortMap(const std::string& com1) { Link("COM1", com1); }
};

// Starts a child headless, telling it when it was spawned; its standard output goes to out.
std::unique_ptr<ChildProcess> Spawn(const std::string& program,
                                    const std::vector<std::string>& args, Stream out) {
    ChildOptions options;
    options.out = std::move(out);
    options.err = Stream::Null();
    options.env = {"QT_QPA_PLATFORM=offscreen",
                   std::string(SpawnTimeVar) + "=" + std::to_string(MonotonicNs())};
    return std::make_unique<ChildProcess>(program, args, options);
}

// Processor seconds of every thread of pid so far.
double ProcessCpuSeconds(pid_t pid) {
    double total = 0;
    std::error_code ec;
    for (const auto& task :
         fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", ec)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double ns = 0;
        schedstat >> ns;
        total += ns / 1e9;
    }
    return total;
}

std::string SelfPath() {
    return fs::read_symlink("/proc/self/exe").string();
}

// Runs this program in a child mode and returns the one line it prints (empty when it
// printed nothing), once the child has ended.
std::string ChildLine(const std::vector<std::string>& args) {
    const auto child = Spawn(SelfPath(), args, Stream::Pipe());
    child->WaitForExit(ChildLimitMs);
    return child->Output();
}

void StartUp(benchmark::State& state) {
    ecu::EcuSimulator sim;
    sim.Start();
    PortMap map(sim.SlavePath());
    std::vector<double> ms;
    bool opened = true;
    for (auto _ : state) {
        for (int i = 0; i < StartUpRuns; ++i) {
            const std::string line = ChildLine({"--startup-child"});
            double value = 0;
            int connected = 0;
            if (std::sscanf(line.c_str(), "%lf %d", &value, &connected) != 2)
                break;
            ms.push_back(value);
            opened = opened && connected == 1;
        }
    }
    if (ms.size() != StartUpRuns || !opened) {
        state.SkipWithError("a child did not start or did not open the port");
        return;
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["min_ms"] = ms.front();
    state.counters["max_ms"] = ms.back();
}

// Share of a core that the child takes over the measured period.
double MeasureCpuPct(ChildProcess& child) {
    const pid_t pid = child.Pid();
    std::this_thread::sleep_for(std::chrono::seconds(SettleSeconds));
    const double before = ProcessCpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(RunSeconds()));
    const double cpu = ProcessCpuSeconds(pid) - before;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    child.Signal(SIGTERM);
    child.WaitForExit(ChildLimitMs);
    return 100.0 * cpu / wall;
}

void PollingCpu(benchmark::State& state) {
    double windowPct = 0, loggerPct = 0;
    std::uint64_t windowRequests = 0, loggerRequests = 0;
    for (auto _ : state) {
        {
            ecu::EcuSimulator sim; // paced like the real line
            sim.Start();
            PortMap map(sim.SlavePath());
            windowPct = MeasureCpuPct(*Spawn(SelfPath(), {"--poll-child"}, Stream::Null()));
            windowRequests = sim.DataRequests();
        }
        {
            ecu::EcuSimulator sim;
            sim.Start();
            PortMap map(sim.SlavePath());
            loggerPct =
                MeasureCpuPct(*Spawn(ECU_LOG_PATH, {"--delay", "120", "COM1"}, Stream::Null()));
            loggerRequests = sim.DataRequests();
        }
    }
    if (windowRequests < 10 || loggerRequests < 10) {
        state.SkipWithError("a program did not poll");
        return;
    }
    state.counters["ecuscan_cpu_pct"] = windowPct;
    state.counters["ecu_log_cpu_pct"] = loggerPct;
    state.counters["difference_pct_points"] = windowPct - loggerPct;
    state.counters["ecuscan_requests"] = static_cast<double>(windowRequests);
}

// The whole program polling on one page (the argument is its index): the graphs page
// adds four points a cycle and one redraw of the four charts, the control page adds a
// control frame and its wait to each cycle, the others only poll.
void PollingCpuPage(benchmark::State& state) {
    const auto page = static_cast<int>(state.range(0));
    double windowPct = 0;
    ecu::SimCounts counts;
    for (auto _ : state) {
        ecu::EcuSimulator sim;
        sim.Start();
        PortMap map(sim.SlavePath());
        windowPct = MeasureCpuPct(
            *Spawn(SelfPath(), {"--poll-child", std::to_string(page)}, Stream::Null()));
        counts = sim.Counts();
    }
    if (counts.dataRequests < 10 || (page == ecu::PageControl && counts.controlFrames < 10)) {
        state.SkipWithError("the program did not poll");
        return;
    }
    state.counters["ecuscan_cpu_pct"] = windowPct;
    state.counters["ecuscan_requests"] = static_cast<double>(counts.dataRequests);
    state.counters["control_frames"] = static_cast<double>(counts.controlFrames);
}

void QuitWhilePolling(benchmark::State& state) {
    constexpr int Runs = 8;
    ecu::EcuSimulator sim; // paced like the real line
    sim.Start();
    PortMap map(sim.SlavePath());
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < Runs; ++i) {
            // 17 ms apart: the press lands at a different point of the 120 ms cycle.
            const std::string line = ChildLine({"--quit-child", std::to_string(1500 + 17 * i)});
            double value = 0;
            int ended = 0;
            if (std::sscanf(line.c_str(), "%lf %d", &value, &ended) != 2 || ended != 1)
                break;
            ms.push_back(value);
        }
    }
    if (ms.size() != Runs) {
        state.SkipWithError("a child did not end its session");
        return;
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["max_ms"] = ms.back();
}

BENCHMARK(StartUp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuitWhilePolling)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PollingCpu)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(PollingCpuPage)
    ->ArgName("page")
    ->Arg(ecu::PageSetup)
    ->Arg(ecu::PageGraphs)
    ->Arg(ecu::PageControl)
    ->Arg(ecu::PageAbout)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--startup-child") == 0)
        return StartUpChild(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--poll-child") == 0)
        return PollChild(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--quit-child") == 0)
        return QuitChild(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
