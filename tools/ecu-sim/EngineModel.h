#pragma once
// A warm-up and idle model of the engine with throttle blips, plus the ECU's reactions to
// control frames. Time is model time in seconds, advanced by the caller.
#include "ecu-sim/SimEngine.h"

#include <cstdint>
#include <random>
#include <span>

namespace ecu {

class EngineModel {
public:
    EngineModel(std::uint32_t seed, double ambientC, std::uint16_t promId);

    void Advance(double seconds);
    const SimEngine& State() const { return s_; }

    void SetPromId(std::uint16_t id) { s_.promId = id; }
    void SetAmbient(double c) { ambientC_ = c; }
    void SetFaultBytes(std::uint8_t b1, std::uint8_t b2);
    // The ten data bytes of a control frame (mode 4).
    void ApplyControl(std::span<const std::uint8_t> data);
    // Restart of the ECU (mode 5): run timer and learning start over, commands are dropped.
    void Reset();

private:
    void Step(double dt);
    void ScheduleBlip();

    SimEngine s_;
    double ambientC_;
    std::mt19937 rng_;
    std::normal_distribution<double> noise_{0.0, 1.0};
    double blipStart_ = 0;
    double blipLength_ = 0;
    double blipPeak_ = 0;
    double o2Phase_ = 0;
};

} // namespace ecu
