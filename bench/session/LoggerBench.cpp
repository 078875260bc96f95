// A live session as the logger runs it: ecu-log polling the simulator at 120 ms.
// Measures the processor time the logger takes (sleeping wait against a spinning
// one) and how far the period between data requests, as the simulator sees them,
// exceeds PollDelay. The processor time is also given per thread: the session
// loop's, the serial reader's and the serial writer's.
//
// ECU_BENCH_SECONDS sets the length of each run (default 30).
#include "ChildProcess.h"
#include "PortMap.h"
#include "ecu-sim/EcuSimulator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int PollDelayMs = 120;
constexpr int ExitLimitMs = 10000;

int RunSeconds() {
    const char* s = std::getenv("ECU_BENCH_SECONDS");
    const int n = s ? std::atoi(s) : 0;
    return n > 0 ? n : 30;
}

struct Run {
    double cpuSeconds = 0;
    double uiThreadSeconds = 0; // the thread that runs the session loop
    double readerSeconds = 0;   // the serial reader
    double writerSeconds = 0;   // the serial writer
    double otherSeconds = 0;
    double wallSeconds = 0;
    std::vector<double> excessMs; // period between data requests minus PollDelay
};

// Processor time of one thread so far, from the scheduler's own count in
// nanoseconds (the tick-based times in stat are too coarse for a thread that
// mostly sleeps), and its name.
double ThreadCpuSeconds(const fs::path& task, std::string& name) {
    std::ifstream comm(task / "comm");
    std::getline(comm, name);
    std::ifstream schedstat(task / "schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns / 1e9;
}

// Every thread of the process: the session loop's (the main thread), the
// serial reader's and writer's (named by the component), and the rest.
void TakeThreadTimes(pid_t pid, Run& run) {
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    std::error_code ec;
    for (const auto& task : fs::directory_iterator(tasks, ec)) {
        std::string name;
        const double seconds = ThreadCpuSeconds(task.path(), name);
        if (task.path().filename() == std::to_string(pid))
            run.uiThreadSeconds += seconds;
        else if (name == "serial-read")
            run.readerSeconds += seconds;
        else if (name == "serial-write")
            run.writerSeconds += seconds;
        else
            run.otherSeconds += seconds;
    }
}

Run RunLogger(const char* program) {
    ecu::EcuSimulator sim; // paced like the real line
    sim.Start();
    ecu::test::PortMap map;
    map.Link("COM1", sim.SlavePath());

    ecu::test::ChildOptions options;
    options.out = ecu::test::Stream::Null();
    const auto start = Clock::now();
    ecu::test::ChildProcess logger(program, {"--delay", std::to_string(PollDelayMs), "COM1"},
                                   options);
    if (!logger.Started())
        return {};

    std::this_thread::sleep_for(std::chrono::seconds(RunSeconds()));
    Run run;
    TakeThreadTimes(logger.Pid(), run);
    logger.Signal(SIGINT);
    logger.WaitForExit(ExitLimitMs);
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpuSeconds = logger.CpuSeconds();

    std::vector<Clock::time_point> requests;
    for (const ecu::SimFrame& f : sim.Frames())
        if (f.valid && f.bytes.size() == 4 && f.bytes[2] == 0x01)
            requests.push_back(f.time);
    for (std::size_t i = 1; i < requests.size(); ++i)
        run.excessMs.push_back(
            std::chrono::duration<double, std::milli>(requests[i] - requests[i - 1]).count() -
            PollDelayMs);
    sim.Stop();
    return run;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void Logger(benchmark::State& state, const char* program) {
    Run run;
    for (auto _ : state) {
        run = RunLogger(program);
        state.SetIterationTime(run.wallSeconds);
    }
    if (run.wallSeconds == 0) {
        state.SkipWithError("could not start the logger");
        return;
    }
    state.counters["cpu_pct_of_core"] = 100.0 * run.cpuSeconds / run.wallSeconds;
    state.counters["ui_thread_cpu_pct"] = 100.0 * run.uiThreadSeconds / run.wallSeconds;
    state.counters["reader_cpu_pct"] = 100.0 * run.readerSeconds / run.wallSeconds;
    state.counters["writer_cpu_pct"] = 100.0 * run.writerSeconds / run.wallSeconds;
    state.counters["other_threads_cpu_pct"] = 100.0 * run.otherSeconds / run.wallSeconds;
    state.counters["cycles"] = static_cast<double>(run.excessMs.size() + 1);
    state.counters["excess_median_ms"] = Percentile(run.excessMs, 0.5);
    state.counters["excess_p90_ms"] = Percentile(run.excessMs, 0.9);
    state.counters["excess_max_ms"] = Percentile(run.excessMs, 1.0);
}

BENCHMARK_CAPTURE(Logger, sleeping_wait, ECU_LOG_PATH)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Logger, spinning_wait, ECU_LOG_SPIN_PATH)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
