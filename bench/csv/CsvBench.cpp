// CSV rows and the ecu-csv tool's throughput on a generated 100 MB recording.
#include "ChildProcess.h"
#include "link/Decode.h"
#include "ui/CsvRow.h"
#include "ui/TextRules.h"
#include "wire/Frames.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kFileBytes = 100'000'000;
constexpr int kToolLimitMs = 600000;

ecu::ByteString RandomSohcRecord(std::mt19937& rng) {
    ecu::ByteString r(68);
    for (auto& b : r) {
        b = static_cast<std::uint8_t>(rng());
    }
    // The echo, then the answer's device, length and mode bytes.
    std::copy(ecu::DataRequest.begin(), ecu::DataRequest.end(), r.begin());
    const std::uint8_t answerHead[] = {0xF4, 0x95, 0x01};
    std::copy(std::begin(answerHead), std::end(answerHead), r.begin() + ecu::EchoLength);
    return r;
}

// A recording of kFileBytes: SOHC cycles with random engine values, in a temp folder that
// goes away with the process.
class Recording {
public:
    Recording() {
        char tmpl[] = "/tmp/ecu-csv-bench.XXXXXX";
        if (mkdtemp(tmpl) == nullptr) {
            std::abort();
        }
        dir_ = tmpl;
        path_ = dir_ + "/recording.bin";
        std::mt19937 rng(42);
        std::vector<std::uint8_t> block;
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::uint64_t written = 0;
        while (written < kFileBytes) {
            block.clear();
            while (block.size() < (1 << 20)) {
                const auto r = RandomSohcRecord(rng);
                block.insert(block.end(), r.begin(), r.end());
            }
            const auto n = static_cast<std::size_t>(
                std::min<std::uint64_t>(block.size(), kFileBytes - written));
            if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
                std::abort();
            }
            written += n;
        }
        ::close(fd);
    }
    ~Recording() { std::filesystem::remove_all(dir_); }

    const std::string& Path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

const Recording& SharedRecording() {
    static const Recording recording;
    return recording;
}

// Runs ecu-csv with its output to /dev/null; returns its exit status.
int RunTool(const std::vector<std::string>& args) {
    ecu::test::ChildOptions options;
    options.out = options.err = ecu::test::Stream::Null();
    ecu::test::ChildProcess tool(ECU_CSV_PATH, args, options);
    return tool.WaitForExit(kToolLimitMs).value_or(-1);
}

void EcuCsvThroughput(benchmark::State& state, std::vector<std::string> options) {
    const std::string& path = SharedRecording().Path();
    options.push_back(path);
    for (auto _ : state) {
        if (RunTool(options) != 0) {
            state.SkipWithError("ecu-csv failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK_CAPTURE(EcuCsvThroughput, exact_auto, std::vector<std::string>{})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(EcuCsvThroughput, exact_sohc, std::vector<std::string>{"--variant", "sohc"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(EcuCsvThroughput, display_sohc,
                  std::vector<std::string>{"--variant", "sohc", "--format", "display"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void CsvRow(benchmark::State& state, ecu::CsvFormat format) {
    std::mt19937 rng(3);
    std::vector<ecu::EngineData> rows(256);
    for (auto& d : rows) {
        auto rx = RandomSohcRecord(rng);
        ecu::DecodeFrame(rx, d, ecu::EngineVariant::Sohc);
    }
    std::string out;
    std::uint64_t k = 0;
    for (auto _ : state) {
        out.clear();
        ecu::AppendCsvRow(out, k, true, rows[k & 255], format);
        ++k;
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(CsvRow, exact, ecu::CsvFormat::Exact);
BENCHMARK_CAPTURE(CsvRow, display, ecu::CsvFormat::Display);

void FormatFixed(benchmark::State& state) {
    std::mt19937 rng(5);
    std::vector<double> values(1024);
    for (auto& v : values) {
        v = static_cast<double>(rng() % 200000) / 64.0 - 1000;
    }
    std::string out;
    std::size_t i = 0;
    for (auto _ : state) {
        out.clear();
        ecu::AppendFixed(out, values[i++ & 1023], 5, 1);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(FormatFixed);

} // namespace
