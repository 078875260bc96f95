// The simulator on its pseudo-terminal: echo, answer frames, pacing, resynchronisation, and
// its life cycle.
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "ecu-sim/EcuSimulator.h"

#include <gtest/gtest.h>

#include <termios.h>
#include <thread>

namespace ecu::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SimLine, DataRequestIsEchoedThenAnsweredWithAValidFrameOfTheVariantsSize) {
    for (const auto& [variant, size, length] :
         {std::tuple{EngineVariant::Sohc, 64u, 0x92}, std::tuple{EngineVariant::Dohc, 68u, 0x96}}) {
        EcuSimulator sim(FastOptions(variant));
        sim.Start();
        PtyClient client(sim.SlavePath());
        const Bytes got = client.Exchange(kDataRequest);
        ASSERT_EQ(got.size(), EchoLength + size);
        EXPECT_EQ(Slice(got, 0, EchoLength), kDataRequest);
        const Bytes answer = Slice(got, EchoLength);
        EXPECT_EQ(answer[0], 0xF4);
        EXPECT_EQ(answer[1], length);
        EXPECT_EQ(answer[2], 0x01);
        EXPECT_TRUE(SumsToZero(answer));
        EXPECT_EQ(sim.DataRequests(), 1u);
    }
}

TEST(SimLine, ResetModeZeroAndControlFramesGetShortValidAnswers) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    PtyClient client(sim.SlavePath());

    const Bytes reset = client.Exchange(kResetRequest);
    ASSERT_EQ(Slice(reset, 0, EchoLength), kResetRequest);
    const Bytes ack = Slice(reset, EchoLength);
    ASSERT_GE(ack.size(), 4u);
    EXPECT_EQ(ack[3], 0xAA);
    EXPECT_EQ(ack[1], 0x55 + ack.size() - 3);
    EXPECT_TRUE(SumsToZero(ack));

    EXPECT_EQ(Slice(client.Exchange(kModeZeroRequest), EchoLength),
              (Bytes{0xF4, 0x56, 0x00, 0xB6}));
    const Bytes control{0xF4, 0x60, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA8};
    EXPECT_EQ(client.Exchange(control), Concat(control, {0xF4, 0x56, 0x04, 0xB2}));

    const SimCounts c = sim.Counts();
    EXPECT_EQ(c.resetRequests, 1u);
    EXPECT_EQ(c.modeZero, 1u);
    EXPECT_EQ(c.controlFrames, 1u);
    EXPECT_EQ(c.frames, 3u);
}

TEST(SimLine, BytesOutsideValidFramesAreEchoedAndSkippedAndTheFrameAfterThemIsAnswered) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    PtyClient client(sim.SlavePath());
    // Noise, a device byte with an impossible length, a request with a bad checksum.
    const Bytes noise{0x00, 0x13, 0xF4, 0xF4, 0xF4, 0x56, 0x01, 0xB4};
    const Bytes got = client.Exchange(Concat(noise, kDataRequest));
    ASSERT_EQ(got.size(), noise.size() + EchoLength + 64);
    EXPECT_EQ(Slice(got, 0, noise.size() + EchoLength), Concat(noise, kDataRequest));
    EXPECT_TRUE(SumsToZero(Slice(got, noise.size() + EchoLength)));

    const auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].valid);
    EXPECT_EQ(frames[0].bytes, noise);
    EXPECT_TRUE(frames[1].valid);
    EXPECT_EQ(frames[1].bytes, kDataRequest);
    EXPECT_EQ(sim.Counts().skippedBytes, noise.size());
}

TEST(SimLine, AFrameArrivingInPiecesIsOneFrameButACutOffStartIsGivenUp) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    PtyClient client(sim.SlavePath());

    client.Write({0xF4, 0x56});
    std::this_thread::sleep_for(3ms);
    const Bytes got = client.Exchange({0x01, 0xB5});
    EXPECT_EQ(got.size(), 68u);
    EXPECT_EQ(sim.DataRequests(), 1u);

    // A start whose rest never comes is echoed and dropped; the next request is answered.
    client.Write({0xF4});
    std::this_thread::sleep_for(300ms);
    const Bytes after = client.Exchange(kDataRequest);
    EXPECT_EQ(Slice(after, 0, 5), Concat({0xF4}, kDataRequest));
    EXPECT_EQ(after.size(), 1u + 68u);
    EXPECT_EQ(sim.DataRequests(), 2u);
}

TEST(SimLine, PacedModeSpreadsTheAnswerAtTheLineRate) {
    SimOptions o; // 8192 baud: 64 answer bytes take at least 63 byte times, about 77 ms
    EcuSimulator sim(o);
    sim.Start();
    PtyClient client(sim.SlavePath());
    const auto start = Clock::now();
    client.Write(kDataRequest);
    const Bytes got = client.ReadCount(68, 5s);
    const auto took = Clock::now() - start;
    ASSERT_EQ(got.size(), 68u);
    EXPECT_TRUE(SumsToZero(Slice(got, EchoLength)));
    EXPECT_GE(took, 75ms);
    EXPECT_LT(took, 2s); // only a sanity bound; the machine may be busy
}

TEST(SimLine, KeepsServingWhenTheProgramClosesAndReopensThePort) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    for (int i = 0; i < 3; ++i) {
        PtyClient client(sim.SlavePath());
        EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u) << "opening " << i;
    }
    EXPECT_TRUE(sim.Running());
}

TEST(SimLine, OptionsChangedWhileRunningApplyFromTheNextFrame) {
    EcuSimulator sim;
    SimOptions before = FastOptions();
    before.ambientC = -25; // set before the start, so the engine starts cold
    sim.SetOptions(before);
    EXPECT_NEAR(sim.Engine().coolantC, -25, 0.5);
    sim.Start();
    PtyClient client(sim.SlavePath());
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u);
    SimOptions o = sim.Options();
    o.variant = EngineVariant::Dohc;
    o.promId = 0xBEEF;
    sim.SetOptions(o);
    const Bytes got = client.Exchange(kDataRequest);
    ASSERT_EQ(got.size(), 72u);
    EXPECT_EQ(got[4 + 3], 0xBE);
    EXPECT_EQ(got[4 + 4], 0xEF);
}

TEST(SimLine, FramesCarryTheirArrivalTimeAndCanBeCleared) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    PtyClient client(sim.SlavePath());
    const auto before = Clock::now();
    client.Exchange(kDataRequest);
    client.Exchange(kModeZeroRequest);
    const auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_GE(frames[0].time, before);
    EXPECT_LE(frames[0].time, frames[1].time);
    EXPECT_EQ(frames[1].bytes, kModeZeroRequest);
    sim.ClearFrames();
    EXPECT_TRUE(sim.Frames().empty());
    EXPECT_EQ(sim.Counts().frames, 2u); // counts keep running
}

// What the program received is what the simulator says it wrote, a stray byte included.
TEST(SimLine, SentBytesAreEverythingWrittenToTheLineInOrderAndCanBeCleared) {
    SimOptions options = FastOptions();
    options.faults = {{SimFault::StrayByte, 0.0, {2}}};
    options.strayByte = 0x5A;
    EcuSimulator sim(options);
    sim.Start();
    PtyClient client(sim.SlavePath());
    Bytes received = client.Exchange(kDataRequest);
    received = Concat(received, client.Exchange(kDataRequest));
    received = Concat(received, client.Exchange(kModeZeroRequest));
    ASSERT_EQ(received.size(), 68u + 1u + 68u + 8u);
    EXPECT_EQ(received[68], 0x5A);
    EXPECT_EQ(sim.SentBytes(), received);
    sim.ClearSent();
    EXPECT_TRUE(sim.SentBytes().empty());
    const Bytes next = client.Exchange(kModeZeroRequest);
    EXPECT_EQ(sim.SentBytes(), next);
}

TEST(SimLine, StopIsIdempotentAndTheSimulatorCanStartAgainOnAFreshPty) {
    EcuSimulator sim(FastOptions());
    EXPECT_FALSE(sim.Running());
    sim.Stop(); // before any start
    sim.Start();
    EXPECT_THROW(sim.Start(), std::logic_error);
    const std::string first = sim.SlavePath();
    {
        PtyClient client(first);
        EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u);
    }
    sim.Stop();
    sim.Stop();
    EXPECT_FALSE(sim.Running());
    sim.Start();
    PtyClient client(sim.SlavePath());
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u);
    EXPECT_EQ(sim.DataRequests(), 2u);
}

TEST(SimLine, LineRateIsTheRateLastSetOnEitherSide) {
    EcuSimulator sim(FastOptions());
    EXPECT_EQ(sim.LineRate(), 0u);
    sim.Start();
    EXPECT_EQ(sim.LineRate(), 8192u);
    {
        PtyClient client(sim.SlavePath());
        termios t{};
        ASSERT_EQ(tcgetattr(client.Fd(), &t), 0);
        cfsetspeed(&t, B9600);
        ASSERT_EQ(tcsetattr(client.Fd(), TCSANOW, &t), 0);
        EXPECT_EQ(sim.LineRate(), 9600u);
    }
    sim.Stop();
    EXPECT_EQ(sim.LineRate(), 0u);
}

TEST(SimLine, WaitForDataRequestsReturnsOnceTheyArriveAndTimesOutOtherwise) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    EXPECT_FALSE(sim.WaitForDataRequests(1, 50ms));
    PtyClient client(sim.SlavePath());
    std::thread sender([&] {
        for (int i = 0; i < 3; ++i)
            client.Exchange(kDataRequest, 30ms);
    });
    EXPECT_TRUE(sim.WaitForDataRequests(3, 10s));
    sender.join();
}

TEST(SimLine, DestructorStopsARunningSimulatorThatAClientStillHoldsOpen) {
    auto sim = std::make_unique<EcuSimulator>(FastOptions());
    sim->Start();
    PtyClient client(sim->SlavePath());
    client.Write(kDataRequest);
    sim.reset(); // must not hang with the client's end open
    SUCCEED();
}

} // namespace
} // namespace ecu::test
