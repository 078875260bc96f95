#pragma once
// Physical state of the simulated engine and ECU, in the units the scanner shows.
#include <cstdint>

namespace ecu {

struct SimEngine {
    double runSeconds = 0; // model time since the engine started
    double coolantC = 20;
    double intakeAirC = 20;
    double throttlePct = 0; // 0..100
    double tpsVolts = 0.5;  // throttle sensor voltage
    double rpm = 850;
    double idleTargetRpm = 850;
    double baroKPa = 101;
    double vacuumKPa = 65; // barometric minus manifold pressure
    double mapVolts = 1.2; // manifold pressure sensor voltage
    double speedKmh = 0;
    double batteryVolts = 14;
    double o2mV = 450;
    double injectionMs = 2.5;
    double airFuelRatio = 14.7;
    double advanceDeg = 12;
    double iacSteps = 30;        // idle-air-control position
    double iacDesiredSteps = 30; // where the ECU wants it
    std::uint16_t promId = 0;
    std::uint8_t faultByte1 = 0;
    std::uint8_t faultByte2 = 0;
    // Outputs and commands taken from control frames.
    bool checkEngineOn = false;
    bool fanOn = false; // the output labelled "Carlson"
    bool iacCommanded = false;
    std::uint8_t iacCommandSteps = 0;
    double learnMultiplier = 128; // adaptive fuel learning; 128 is neutral
    std::uint32_t faultClears = 0;
    std::uint32_t learnResets = 0;
};

} // namespace ecu
