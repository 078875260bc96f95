#pragma once
// Current engine values, filled by DecodeFrame and read by every display.
#include <cstdint>
#include <string>

namespace ecu {

struct EngineData {
    std::uint16_t PromID = 0;
    double TemperatureWater = 0;
    std::uint8_t TemperatureWaterRaw = 0;
    double TemperatureAir = 0;
    std::uint8_t TemperatureAirRaw = 0;
    double UOZ = 0;
    std::uint8_t UOZRaw = 0;
    double ThrottleAngle = 0;
    std::uint8_t ThrottleAngleRaw = 0;
    double ThrottlePosition = 0;
    std::uint8_t ThrottlePositionRaw = 0;
    double MapV = 0;
    double MAPbar = 0;
    double Baro = 0;
    std::int32_t RPMengine = 0;
    std::uint8_t RPMengineRaw = 0;
    std::int32_t RPMsec = 0;
    double RPMperiod = 0;
    std::uint8_t Speed = 0;
    double Acc = 0;
    double OxygenSensor = 0;
    std::string ErrorText;
    std::uint8_t ErrorByte1 = 0;
    std::uint8_t ErrorByte2 = 0;
    double INJwidth = 0;
    std::uint8_t AirControlDesired = 0;
    std::uint8_t AirControl = 0;
    double RPMdesired = 0;
    double RPMdesiredIDLE = 0;
    std::uint16_t Timer = 0;
    double FuelAirRatio = 0;

    bool operator==(const EngineData&) const = default;
};

} // namespace ecu
