// The simulator on its pseudo-terminal: echo, answer frames, pacing, resynchronisation.
#include "PtyClient.h"
#include "ecu-sim/EcuSimulator.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ecu::test {
namespace {

using namespace std::chrono_literals;

bool SumsToZero(const Bytes& b, std::size_t from = 0) {
    return (std::accumulate(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(), 0u) & 0xFF) ==
           0;
}

Bytes Tail(const Bytes& b, std::size_t from) {
    return from < b.size() ? Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.end())
                           : Bytes{};
}

SimOptions Fast(SimVariant v = SimVariant::Sohc) {
    SimOptions o;
    o.variant = v;
    o.fast = true;
    return o;
}

TEST(SimLine, DataRequestIsEchoedThenAnsweredWithAValidFrameOfTheVariantsSize) {
    for (const auto& [variant, size, length] :
         {std::tuple{SimVariant::Sohc, 64u, 0x92}, std::tuple{SimVariant::Dohc, 68u, 0x96}}) {
        EcuSimulator sim(Fast(variant));
        sim.Start();
        PtyClient client(sim.SlavePath());
        const Bytes got = client.Exchange(kDataRequest);
        ASSERT_EQ(got.size(), 4 + size);
        EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), kDataRequest);
        const Bytes answer = Tail(got, 4);
        EXPECT_EQ(answer[0], 0xF4);
        EXPECT_EQ(answer[1], length);
        EXPECT_EQ(answer[2], 0x01);
        EXPECT_TRUE(SumsToZero(answer));
        EXPECT_EQ(sim.DataRequests(), 1u);
    }
}

} // namespace
} // namespace ecu::test
