// DecodeFrame per frame, with the copy into the receive buffer a live cycle also makes.
#include "link/Decode.h"
#include "wire/Frames.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<ecu::ByteString> Frames(std::size_t size) {
    std::mt19937 rng(1);
    std::vector<ecu::ByteString> frames(256, ecu::ByteString(size));
    for (auto& f : frames) {
        for (auto& b : f) {
            b = static_cast<std::uint8_t>(rng());
        }
        std::copy(ecu::DataRequest.begin(), ecu::DataRequest.end(), f.begin());
    }
    return frames;
}

void DecodeFrame(benchmark::State& state, ecu::EngineVariant variant, std::size_t size) {
    const auto frames = Frames(size);
    ecu::ByteString rx;
    rx.reserve(size);
    ecu::EngineData data;
    std::size_t i = 0;
    for (auto _ : state) {
        rx.assign(frames[i].begin(), frames[i].end());
        i = (i + 1) & 255;
        benchmark::DoNotOptimize(ecu::DecodeFrame(rx, data, variant));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(DecodeFrame, sohc, ecu::EngineVariant::Sohc, 68);
BENCHMARK_CAPTURE(DecodeFrame, dohc, ecu::EngineVariant::Dohc, 72);

} // namespace
