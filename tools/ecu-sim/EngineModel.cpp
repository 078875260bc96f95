#include "ecu-sim/EngineModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ecu {
namespace {

constexpr double kThermostatC = 90;
constexpr double kWarmUpTau = 240; // s, coolant
constexpr double kIntakeTau = 600; // s, intake air soaking up engine heat
constexpr double kRpmTau = 0.25;   // s, engine speed following its target
constexpr double kIacRate = 40;    // steps a second
constexpr double kIdleVacuum = 66; // kPa
constexpr double kO2Period = 1.6;  // s, closed-loop swing rich/lean
constexpr double kMaxStep = 0.02;  // s, integration step

// Outputs and commands as the control frame carries them.
constexpr std::uint8_t kCheckEngineBit = 0x01;
constexpr std::uint8_t kFanBit = 0x02;
constexpr std::uint8_t kClearFaultsBit = 0x40;
constexpr std::uint8_t kResetLearningBit = 0x10;

} // namespace

EngineModel::EngineModel(std::uint32_t seed, double ambientC, std::uint16_t promId)
    : ambientC_(ambientC), rng_(seed) {
    s_.coolantC = ambientC;
    s_.intakeAirC = ambientC;
    s_.promId = promId;
    ScheduleBlip();
    Step(0);
}

void EngineModel::SetFaultBytes(std::uint8_t b1, std::uint8_t b2) {
    s_.faultByte1 = b1;
    s_.faultByte2 = b2;
}

void EngineModel::ScheduleBlip() {
    std::uniform_real_distribution<double> gap(6, 15), length(1.2, 2.0), peak(15, 35);
    blipStart_ = s_.runSeconds + gap(rng_);
    blipLength_ = length(rng_);
    blipPeak_ = peak(rng_);
}

void EngineModel::Advance(double seconds) {
    // Long gaps are integrated in bounded steps so the lags behave; beyond an hour the engine
    // has settled anyway.
    seconds = std::min(seconds, 3600.0);
    while (seconds > 0) {
        const double dt = std::min(seconds, kMaxStep);
        Step(dt);
        seconds -= dt;
    }
}

void EngineModel::Step(double dt) {
    s_.runSeconds += dt;
    const double noise = noise_(rng_);

    const double coolantTarget = s_.fanOn ? kThermostatC - 3 : kThermostatC;
    s_.coolantC += (coolantTarget - s_.coolantC) * (1 - std::exp(-dt / kWarmUpTau));
    const double airTarget = ambientC_ + 8;
    s_.intakeAirC += (airTarget - s_.intakeAirC) * (1 - std::exp(-dt / kIntakeTau));
    const double cold = std::max(0.0, kThermostatC - s_.coolantC); // 0 when warm

    // Throttle: a half-sine blip every few seconds.
    const double inBlip = s_.runSeconds - blipStart_;
    if (inBlip >= blipLength_)
        ScheduleBlip();
    s_.throttlePct = inBlip > 0 && inBlip < blipLength_
                         ? blipPeak_ * std::sin(std::numbers::pi * inBlip / blipLength_)
                         : 0;
    s_.tpsVolts = 0.5 + 0.04 * s_.throttlePct;

    // Idle air: the ECU opens the valve while cold; a commanded position overrides it.
    s_.iacDesiredSteps = 25 + 0.4 * cold;
    const double iacGoal = s_.iacCommanded ? s_.iacCommandSteps : s_.iacDesiredSteps;
    const double iacMove = kIacRate * dt;
    s_.iacSteps += std::clamp(iacGoal - s_.iacSteps, -iacMove, iacMove);

    s_.idleTargetRpm = 850 + 8 * std::max(0.0, cold - 30);
    const double iacExtra = std::clamp((s_.iacSteps - s_.iacDesiredSteps) * 10, -300.0, 1500.0);
    const double rpmTarget = s_.idleTargetRpm + iacExtra + 80 * s_.throttlePct;
    s_.rpm += (rpmTarget - s_.rpm) * (1 - std::exp(-dt / kRpmTau));
    s_.rpm = std::clamp(s_.rpm + 4 * noise, 500.0, 6000.0);

    // Never below what the answer's manifold byte can carry at sea level.
    s_.vacuumKPa = std::clamp(kIdleVacuum * (1 - s_.throttlePct / 40), 8.0, kIdleVacuum);
    const double manifoldKPa = s_.baroKPa - s_.vacuumKPa;
    s_.mapVolts = 0.2 + 4.6 * manifoldKPa / 105;

    o2Phase_ = std::fmod(o2Phase_ + dt / kO2Period, 1.0);
    s_.o2mV = std::clamp(500 + 380 * std::sin(2 * std::numbers::pi * o2Phase_) + 10 * noise, 100.0,
                         900.0);
    s_.airFuelRatio = 14.7 - (s_.o2mV - 500) / 800;

    // Learning drifts slowly once warm, so that resetting it shows.
    if (cold < 10)
        s_.learnMultiplier = std::min(140.0, s_.learnMultiplier + 0.05 * dt);
    const double enrich = 1 + cold / 100;
    s_.injectionMs = 2.4 * (manifoldKPa / 35) * enrich * s_.learnMultiplier / 128;
    s_.advanceDeg = std::clamp(10 + s_.rpm / 200, 0.0, 35.0);
    s_.batteryVolts = 14.1 + 0.03 * noise;
    s_.speedKmh = 0;
}

void EngineModel::ApplyControl(std::span<const std::uint8_t> data) {
    if (data.size() < 8)
        return;
    // Outputs travel in two copies; a frame whose copies disagree drives nothing.
    if (data[0] == data[1]) {
        s_.checkEngineOn = (data[0] & kCheckEngineBit) != 0;
        s_.fanOn = (data[0] & kFanBit) != 0;
    }
    const std::uint8_t commands = data[2];
    if (commands & kClearFaultsBit) {
        s_.faultByte1 = 0;
        s_.faultByte2 = 0;
        ++s_.faultClears;
    }
    if (commands & kResetLearningBit) {
        s_.learnMultiplier = 128;
        ++s_.learnResets;
    }
    s_.iacCommanded = data[6] != 0;
    s_.iacCommandSteps = s_.iacCommanded ? data[7] : 0;
}

void EngineModel::Reset() {
    s_.runSeconds = 0;
    s_.learnMultiplier = 128;
    s_.iacCommanded = false;
    s_.iacCommandSteps = 0;
    s_.checkEngineOn = false;
    s_.fanOn = false;
    ScheduleBlip();
}

} // namespace ecu
