// Injected faults: each does to the exchange what its name says, at the cycles or the rate asked.
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "ecu-sim/EcuSimulator.h"
#include "ecu-sim/FaultPicker.h"

#include <gtest/gtest.h>

namespace ecu::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A simulator whose second data request is hit by `fault`; the first and third are clean.
struct FaultAtSecond {
    explicit FaultAtSecond(SimFault fault, SimOptions o = FastOptions())
        : sim(Configure(fault, std::move(o))) {
        sim.Start();
        client = std::make_unique<PtyClient>(sim.SlavePath());
        EXPECT_EQ(client->Exchange(kDataRequest).size(), 68u);
    }
    static SimOptions Configure(SimFault fault, SimOptions o) {
        o.faults = {SimFaultRule{fault, 0.0, {2}, false}};
        return o;
    }
    ~FaultAtSecond() {
        EXPECT_EQ(client->Exchange(kDataRequest, 400ms).size(), 68u) << "third cycle";
        EXPECT_EQ(sim.Counts().faults, 1u);
    }
    EcuSimulator sim;
    std::unique_ptr<PtyClient> client;
};

TEST(SimFaults, SilenceSendsNothingAndEchoOnlySendsJustTheEcho) {
    {
        FaultAtSecond f(SimFault::Silence);
        EXPECT_TRUE(f.client->Exchange(kDataRequest, 300ms).empty());
    }
    {
        FaultAtSecond f(SimFault::EchoOnly);
        EXPECT_EQ(f.client->Exchange(kDataRequest, 300ms), kDataRequest);
    }
}

TEST(SimFaults, NoEchoSendsTheCompleteAnswerAlone) {
    FaultAtSecond f(SimFault::NoEcho);
    const Bytes got = f.client->Exchange(kDataRequest);
    ASSERT_EQ(got.size(), 64u);
    EXPECT_EQ(Slice(got, 0, 3), (Bytes{0xF4, 0x92, 0x01}));
    EXPECT_TRUE(SumsToZero(got));
}

TEST(SimFaults, PartialAnswerStopsAfterTheAskedNumberOfBytesOrHalfway) {
    {
        FaultAtSecond f(SimFault::Partial);
        const Bytes got = f.client->Exchange(kDataRequest);
        EXPECT_EQ(got.size(), EchoLength + 32u);
        EXPECT_EQ(Slice(got, EchoLength, 3), (Bytes{0xF4, 0x92, 0x01}));
    }
    SimOptions o = FastOptions(EngineVariant::Dohc);
    o.partialBytes = 10;
    EcuSimulator sim(FaultAtSecond::Configure(SimFault::Partial, o));
    sim.Start();
    PtyClient client(sim.SlavePath());
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 72u);
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 14u);
}

TEST(SimFaults, PartialAnswerAsLongAsTheAnswerOrLongerIsStillCutShort) {
    for (const std::size_t asked : {std::size_t{64}, std::size_t{65}, std::size_t{100000}}) {
        SimOptions o = FastOptions();
        o.partialBytes = asked;
        FaultAtSecond f(SimFault::Partial, o);
        const Bytes got = f.client->Exchange(kDataRequest);
        ASSERT_EQ(got.size(), 4u + 63u) << asked;
        // The header promises 64 bytes (0x92) and one is missing, so it is no valid frame
        // whatever the bytes sum to (a checksum of 00 leaves the rest summing to zero).
        EXPECT_EQ(Slice(got, 4, 3), (Bytes{0xF4, 0x92, 0x01}));
        EXPECT_EQ(f.sim.Counts().answers, 1u) << "only the first cycle's answer was whole";
    }
}

TEST(SimFaults, StrayByteComesAheadOfTheEchoAndTheAnswerFollowsWhole) {
    SimOptions o = FastOptions();
    o.strayByte = 0x3C;
    FaultAtSecond f(SimFault::StrayByte, o);
    const Bytes got = f.client->Exchange(kDataRequest);
    ASSERT_EQ(got.size(), 1u + 68u);
    EXPECT_EQ(Slice(got, 0, 5), Concat({0x3C}, kDataRequest));
    EXPECT_TRUE(SumsToZero(Slice(got, 5)));
}

TEST(SimFaults, DelayedAnswerComesAfterTheDelayWhileTheEchoComesAtOnce) {
    SimOptions o = FastOptions();
    o.faultDelay = 1000ms;
    FaultAtSecond f(SimFault::Delayed, o);
    const auto start = Clock::now();
    f.client->Write(kDataRequest);
    EXPECT_EQ(f.client->ReadCount(EchoLength, 2s), kDataRequest);
    EXPECT_TRUE(f.client->ReadUntilQuiet(200ms).empty());
    const Bytes answer = f.client->ReadCount(64, 5s);
    EXPECT_GE(Clock::now() - start, 1000ms);
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_TRUE(SumsToZero(answer));
}

TEST(SimFaults, GarbageIsAnAnswerSizedRunOfBytesThatIsNoValidFrame) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SimOptions o = FastOptions();
        o.seed = seed;
        o.faults = {SimFaultRule{SimFault::Garbage, 1.0, {}, false}};
        EcuSimulator sim(o);
        sim.Start();
        PtyClient client(sim.SlavePath());
        const Bytes got = client.Exchange(kDataRequest);
        ASSERT_EQ(got.size(), 68u);
        EXPECT_EQ(Slice(got, 0, EchoLength), kDataRequest);
        EXPECT_FALSE(SumsToZero(Slice(got, EchoLength))) << "seed " << seed;
        EXPECT_EQ(sim.Counts().answers, 0u);
    }
}

TEST(SimFaults, AFrameLostToSilenceOrIgnitionOffNeverReachesTheEcu) {
    for (const SimFault fault : {SimFault::Silence, SimFault::EchoOnly}) {
        SimOptions o = FastOptions();
        o.faults = {SimFaultRule{fault, 0.0, {1}, true}};
        EcuSimulator sim(o);
        sim.SetFaultBytes(0x12, 0x34);
        sim.Start();
        PtyClient client(sim.SlavePath());
        const Bytes clearFaults{0xF4, 0x60, 0x04, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0x68};
        client.Exchange(clearFaults);
        EXPECT_EQ(sim.Engine().faultByte1, 0x12);
        EXPECT_EQ(sim.Counts().controlFrames, 1u);
        client.Exchange(clearFaults);
        EXPECT_EQ(sim.Engine().faultByte1, 0);
    }
}

TEST(SimFaults, PacedDelayedAnswerDoesNotHoldUpTheNextRequestsEcho) {
    SimOptions o; // paced, as a session polling every 120 ms would see it
    o.faultDelay = 1000ms;
    o.faults = {SimFaultRule{SimFault::Delayed, 0.0, {1}, false}};
    EcuSimulator sim(o);
    sim.Start();
    PtyClient client(sim.SlavePath());
    client.Write(kDataRequest);
    EXPECT_EQ(client.ReadCount(EchoLength, 2s), kDataRequest);
    client.Write(kDataRequest);
    EXPECT_EQ(client.ReadCount(EchoLength, 800ms),
              kDataRequest); // the wire's echo, not the late answer
    const Bytes rest = client.ReadCount(128, 5s);
    ASSERT_EQ(rest.size(), 128u); // then both answers, one after the other
    EXPECT_TRUE(SumsToZero(Slice(rest, 0, 64)));
    EXPECT_TRUE(SumsToZero(Slice(rest, 64)));
}

TEST(SimFaultPicker, CyclesCountDataRequestsUnlessTheRuleCountsAllFrames) {
    FaultPicker p(1);
    const std::vector<SimFaultRule> rules{{SimFault::Silence, 0, {2}, false},
                                          {SimFault::Garbage, 0, {2, 5}, true}};
    // Frames: data, control, data, control, data.
    EXPECT_EQ(p.Pick(rules, true), SimFault::None);     // data 1, frame 1
    EXPECT_EQ(p.Pick(rules, false), SimFault::Garbage); // frame 2
    EXPECT_EQ(p.Pick(rules, true), SimFault::Silence);  // data 2 wins: first rule first
    EXPECT_EQ(p.Pick(rules, false), SimFault::None);
    EXPECT_EQ(p.Pick(rules, true), SimFault::Garbage); // frame 5
}

TEST(SimFaultPicker, RateHitsAboutThatShareAndTheSameSeedHitsTheSameExchanges) {
    const std::vector<SimFaultRule> rules{{SimFault::EchoOnly, 0.25, {}, false}};
    FaultPicker a(9), b(9);
    int hits = 0;
    for (int i = 0; i < 2000; ++i) {
        const SimFault fa = a.Pick(rules, true);
        EXPECT_EQ(fa, b.Pick(rules, true));
        hits += fa == SimFault::EchoOnly;
        EXPECT_EQ(a.Pick(rules, false), SimFault::None); // not a data request
        b.Pick(rules, false);
    }
    EXPECT_GT(hits, 400);
    EXPECT_LT(hits, 600);
}

} // namespace
} // namespace ecu::test
