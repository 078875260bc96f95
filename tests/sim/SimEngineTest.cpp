// The engine model, its encoding into the answer layouts (checked through the scanner's own
// decoder), and the ECU's reactions to control frames.
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "ecu-sim/AnswerEncoder.h"
#include "ecu-sim/EcuSimulator.h"
#include "ecu-sim/EngineModel.h"
#include "link/Decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace ecu::test {
namespace {

using namespace std::chrono_literals;

EngineData Decode(const Bytes& answer, EngineVariant variant) {
    ByteString rx = Concat(kDataRequest, answer);
    EngineData d;
    EXPECT_TRUE(DecodeFrame(
        rx, d, variant == EngineVariant::Dohc ? EngineVariant::Dohc : EngineVariant::Sohc));
    return d;
}

// Every value the layout carries decodes to the model's value within one step of its scale.
void ExpectDecodesTo(const EngineData& d, const SimEngine& e, EngineVariant variant) {
    EXPECT_EQ(d.PromID, e.promId);
    EXPECT_EQ(d.ErrorByte1, e.faultByte1);
    EXPECT_EQ(d.ErrorByte2, e.faultByte2);
    EXPECT_NEAR(d.TemperatureWater, e.coolantC, 0.38);
    EXPECT_NEAR(d.TemperatureAir, e.intakeAirC, 0.38);
    EXPECT_NEAR(d.ThrottlePosition, e.tpsVolts, 0.011);
    EXPECT_NEAR(d.RPMengine, e.rpm, 12.5);
    EXPECT_NEAR(d.OxygenSensor, e.o2mV, 2.3);
    EXPECT_NEAR(d.Acc, e.batteryVolts, 0.051);
    EXPECT_NEAR(d.UOZ, e.advanceDeg, 0.7);
    EXPECT_EQ(d.Speed, std::lround(e.speedKmh));
    EXPECT_EQ(d.Baro, std::round(e.baroKPa));
    EXPECT_EQ(d.MAPbar, std::round(e.vacuumKPa));
    if (variant == EngineVariant::Dohc)
        return; // the rest are SOHC only; DOHC's manifold voltage follows from the vacuum
    EXPECT_NEAR(d.MapV, e.mapVolts, 0.011);
    EXPECT_NEAR(d.ThrottleAngle, e.throttlePct, 0.2);
    EXPECT_NEAR(d.RPMperiod, 60000 / e.rpm, 0.008);
    EXPECT_EQ(d.RPMsec, static_cast<int>(65535 / std::lround(60000 / e.rpm * 65.535)));
    EXPECT_NEAR(d.AirControl, e.iacSteps, 0.5);
    EXPECT_NEAR(d.AirControlDesired, e.iacDesiredSteps, 0.5);
    EXPECT_NEAR(d.RPMdesired, std::min(e.rpm, 1593.75), 3.13);
    EXPECT_NEAR(d.RPMdesiredIDLE, e.idleTargetRpm, 3.13);
    EXPECT_NEAR(d.INJwidth, e.injectionMs, 0.008);
    EXPECT_NEAR(d.FuelAirRatio, e.airFuelRatio, 0.0002);
    EXPECT_EQ(d.Timer, static_cast<int>(e.runSeconds));
}

TEST(SimEncoding, AnswersDecodeToTheModelsValuesThroughWarmUpAndBlips) {
    for (const EngineVariant variant : {EngineVariant::Sohc, EngineVariant::Dohc}) {
        EngineModel model(7, -10.0, 0x1A2B);
        model.SetFaultBytes(0x0A, 0x5F);
        for (int i = 0; i < 300; ++i) {
            model.Advance(i < 200 ? 0.37 : 29.0); // through blips, then warm
            const Bytes answer = EncodeDataAnswer(model.State(), variant);
            ASSERT_EQ(answer.size(), DataAnswerSize(variant));
            ASSERT_TRUE(SumsToZero(answer));
            SCOPED_TRACE(testing::Message() << "variant " << int(variant) << " step " << i);
            ExpectDecodesTo(Decode(answer, variant), model.State(), variant);
            if (HasFailure())
                return;
        }
    }
}

TEST(SimEncoding, PressuresLandOnTheScannersWholeKilopascalsOnBothSidesOfZero) {
    SimEngine e;
    const auto decoded = [&e](double baro, double vacuum, EngineVariant v) {
        e.baroKPa = baro;
        e.vacuumKPa = vacuum;
        return Decode(EncodeDataAnswer(e, v), v);
    };
    for (const EngineVariant v : {EngineVariant::Sohc, EngineVariant::Dohc}) {
        for (const double vacuum : {-20.0, -1.0, 0.0, 1.0, 10.0, 11.0, 40.0}) {
            EXPECT_EQ(decoded(60, vacuum, v).MAPbar, vacuum) << "variant " << int(v);
            EXPECT_EQ(decoded(60, vacuum, v).Baro, 60);
        }
        for (const double vacuum : {7.0, 8.0, 66.0, 90.0}) {
            EXPECT_EQ(decoded(101, vacuum, v).MAPbar, vacuum) << "variant " << int(v);
            EXPECT_EQ(decoded(101, vacuum, v).Baro, 101);
        }
        // At sea level the manifold byte cannot go below 7 kPa of vacuum: it saturates there.
        EXPECT_EQ(decoded(101, 0, v).MAPbar, 7);
    }
}

TEST(SimEncoding, OutOfRangeValuesSaturateInsteadOfWrapping) {
    SimEngine e;
    e.coolantC = 400;
    e.rpm = 9000;
    e.batteryVolts = -3;
    e.runSeconds = 1e6;
    e.injectionMs = 5000;
    const EngineData d = Decode(EncodeDataAnswer(e, EngineVariant::Sohc), EngineVariant::Sohc);
    EXPECT_EQ(d.TemperatureWater, 151.25);
    EXPECT_EQ(d.RPMengine, 6375);
    EXPECT_EQ(d.Acc, 0);
    EXPECT_EQ(d.Timer, 65535);
    EXPECT_DOUBLE_EQ(d.INJwidth, 1000);
}

TEST(SimEngineModel, WarmsUpIdlesBlipsAndSwingsLikeAnEngine) {
    EngineModel model(3, 15.0, 0);
    EXPECT_NEAR(model.State().coolantC, 15, 0.5);
    double maxThrottle = 0, maxRpm = 0, maxInj = 0, minVacuum = 100, minO2 = 1e9, maxO2 = 0;
    const double idleInj = model.State().injectionMs;
    for (int i = 0; i < 6000; ++i) { // a minute in 10 ms steps
        model.Advance(0.01);
        const SimEngine& s = model.State();
        maxThrottle = std::max(maxThrottle, s.throttlePct);
        maxRpm = std::max(maxRpm, s.rpm);
        maxInj = std::max(maxInj, s.injectionMs);
        minVacuum = std::min(minVacuum, s.vacuumKPa);
        minO2 = std::min(minO2, s.o2mV);
        maxO2 = std::max(maxO2, s.o2mV);
        ASSERT_GE(s.batteryVolts, 13.5);
        ASSERT_LE(s.batteryVolts, 14.7);
    }
    EXPECT_NEAR(model.State().runSeconds, 60, 0.01);
    EXPECT_GT(maxThrottle, 10);
    EXPECT_GT(maxRpm, 1800);
    EXPECT_LT(minVacuum, 50);
    EXPECT_GT(maxInj, idleInj * 1.2);
    EXPECT_LT(minO2, 150);
    EXPECT_GT(maxO2, 850);
    EXPECT_GE(minO2, 100);
    EXPECT_LE(maxO2, 900);

    model.Advance(3600);
    EXPECT_NEAR(model.State().coolantC, 90, 1.5);
    double rpmSum = 0;
    int idleSamples = 0;
    for (int i = 0; i < 3000; ++i) {
        model.Advance(0.01);
        if (model.State().throttlePct == 0) {
            rpmSum += model.State().rpm;
            ++idleSamples;
        }
    }
    ASSERT_GT(idleSamples, 100);
    EXPECT_NEAR(rpmSum / idleSamples, 850, 60);
}

TEST(SimEngineModel, SameSeedGivesTheSameEngine) {
    EngineModel a(42, 20, 0), b(42, 20, 0), c(43, 20, 0);
    for (int i = 0; i < 500; ++i) {
        a.Advance(0.1);
        b.Advance(0.1);
        c.Advance(0.1);
    }
    EXPECT_EQ(a.State().rpm, b.State().rpm);
    EXPECT_NE(a.State().rpm, c.State().rpm);
}

Bytes ControlFrame(std::uint8_t outputs, std::uint8_t commands, bool iac, std::uint8_t position) {
    Bytes f{0xF4,     0x60, 0x04, outputs, outputs,
            commands, 0,    0,    0,       static_cast<std::uint8_t>(iac ? 1 : 0),
            position, 0,    0};
    unsigned sum = 0;
    for (const auto b : f)
        sum += b;
    f.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return f;
}

class SimControl : public testing::Test {
protected:
    SimControl() {
        SimOptions o = FastOptions();
        o.timeScale = 20; // the idle valve moves 40 steps a second of model time
        sim.SetOptions(o);
        sim.Start();
        client = std::make_unique<PtyClient>(sim.SlavePath());
    }
    EngineData Poll() {
        const Bytes got = client->Exchange(kDataRequest, 100ms);
        EXPECT_EQ(got.size(), 68u);
        return Decode(Slice(got, 4), EngineVariant::Sohc);
    }
    void Send(const Bytes& frame) { EXPECT_EQ(client->Exchange(frame, 100ms).size(), 18u); }

    EcuSimulator sim;
    std::unique_ptr<PtyClient> client;
};

TEST_F(SimControl, OutputBitsSwitchCheckEngineAndFanOnlyWhileBothCopiesAgree) {
    Send(ControlFrame(0x03, 0, false, 0));
    EXPECT_TRUE(sim.Engine().checkEngineOn);
    EXPECT_TRUE(sim.Engine().fanOn);
    Send(ControlFrame(0x02, 0, false, 0));
    EXPECT_FALSE(sim.Engine().checkEngineOn);
    EXPECT_TRUE(sim.Engine().fanOn);
    Bytes mixed = ControlFrame(0x00, 0, false, 0);
    mixed[3] = 0x01; // copies disagree
    mixed.back() = static_cast<std::uint8_t>(mixed.back() - 1);
    Send(mixed);
    EXPECT_FALSE(sim.Engine().checkEngineOn);
    EXPECT_TRUE(sim.Engine().fanOn);
}

TEST_F(SimControl, ClearFaultsEmptiesTheFaultBytesAndResetLearningRestartsIt) {
    sim.SetFaultBytes(0x0A, 0x5F);
    EXPECT_EQ(Poll().ErrorText, "0A5F");
    Send(ControlFrame(0, 0x40, false, 0));
    EXPECT_EQ(Poll().ErrorText, "0000");

    // Learning drifts once the engine is warm: run some 15 minutes of model time.
    SimOptions o = sim.Options();
    o.timeScale = 1000;
    sim.SetOptions(o);
    std::this_thread::sleep_for(1s);
    ASSERT_GT(sim.Engine().learnMultiplier, 130);
    o.timeScale = 1;
    sim.SetOptions(o);
    Send(ControlFrame(0, 0x50, false, 0));
    EXPECT_NEAR(sim.Engine().learnMultiplier, 128, 0.1);
    EXPECT_EQ(sim.Engine().learnResets, 1u);
    EXPECT_EQ(sim.Engine().faultClears, 2u);
}

TEST_F(SimControl, CommandedIdleValveMovesToTheTargetStaysThereAndReturnsWhenCancelled) {
    const int desired = Poll().AirControlDesired;
    Send(ControlFrame(0, 0, true, 200));
    bool reached = false;
    for (int i = 0; i < 100 && !reached; ++i) {
        reached = Poll().AirControl == 200;
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(reached);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Poll().AirControl, 200);
    EXPECT_GT(sim.Engine().rpm, 1500); // the open valve speeds the idle up

    Send(ControlFrame(0, 0, false, 0));
    bool back = false;
    for (int i = 0; i < 100 && !back; ++i) {
        const EngineData d = Poll();
        back = std::abs(d.AirControl - d.AirControlDesired) <= 1;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(back);
    EXPECT_NEAR(sim.Engine().iacDesiredSteps, desired, 30);
}

TEST(SimEngineOnLine, TheAnswerOnTheLineCarriesTheValuesReportedAsLastAnswered) {
    for (const EngineVariant v : {EngineVariant::Sohc, EngineVariant::Dohc}) {
        EcuSimulator sim(FastOptions(v));
        sim.SetFaultBytes(0x81, 0x02);
        sim.Start();
        PtyClient client(sim.SlavePath());
        for (int i = 0; i < 3; ++i) {
            const Bytes got = client.Exchange(kDataRequest, 100ms);
            ASSERT_EQ(got.size(), 4 + DataAnswerSize(v));
            ExpectDecodesTo(Decode(Slice(got, 4), v), sim.LastAnswered(), v);
        }
    }
}

TEST(SimEngineOnLine, AHeldStateIsAnsweredExactlyUntilReleased) {
    EcuSimulator sim(FastOptions());
    sim.Start();
    PtyClient client(sim.SlavePath());
    SimEngine held;
    held.coolantC = -0.25;
    held.rpm = 6375;
    held.runSeconds = 3600;
    sim.HoldEngine(held);
    sim.SetFaultBytes(0x81, 0x00);
    for (int i = 0; i < 2; ++i) {
        const EngineData d =
            Decode(Slice(client.Exchange(kDataRequest, 100ms), 4), EngineVariant::Sohc);
        EXPECT_EQ(d.TemperatureWaterRaw, 53);
        EXPECT_EQ(d.RPMengine, 6375);
        EXPECT_EQ(d.Timer, 3600);
        EXPECT_EQ(d.ErrorText, "8100");
    }
    sim.ReleaseEngine();
    const EngineData d =
        Decode(Slice(client.Exchange(kDataRequest, 100ms), 4), EngineVariant::Sohc);
    EXPECT_EQ(d.RPMengine, std::lround(sim.LastAnswered().rpm / 25) * 25);
    EXPECT_NE(d.RPMengine, 6375);
    EXPECT_EQ(d.ErrorText, "8100"); // the model got the fault bytes as well
}

TEST(SimEngineOnLine, ResetRestartsTheRunTimer) {
    SimOptions o = FastOptions();
    o.timeScale = 100;
    EcuSimulator sim(o);
    sim.Start();
    PtyClient client(sim.SlavePath());
    std::this_thread::sleep_for(200ms);
    client.Exchange(kDataRequest, 50ms);
    ASSERT_GE(sim.LastAnswered().runSeconds, 15);
    client.Exchange(kResetRequest, 50ms);
    EXPECT_LT(sim.Engine().runSeconds, 15);
}

} // namespace
} // namespace ecu::test
