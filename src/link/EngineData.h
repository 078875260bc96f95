#pragma once
// Current engine values, filled by DecodeFrame and read by every display. The field names
// are inherited and kept as the pages, the graphs and the CSV columns spell them; each
// comment gives the plain meaning and the unit. Every raw field holds the answer byte its
// companion was computed from, 0..255: the pages' bars are scaled on it.
#include <cstdint>
#include <string>

namespace ecu {

struct EngineData {
    std::uint16_t PromID = 0;             // identifier of the ECU's program
    double TemperatureWater = 0;          // coolant temperature, °C (-40..151.25, steps of 0.75)
    std::uint8_t TemperatureWaterRaw = 0; // its byte
    double TemperatureAir = 0;            // intake air temperature, °C (-40..151.25)
    std::uint8_t TemperatureAirRaw = 0;   // its byte
    // Spark advance, degrees, whole (0..89); UOZ is the Russian initialism of "ignition
    // advance angle".
    double UOZ = 0;
    std::uint8_t UOZRaw = 0;              // its byte
    double ThrottleAngle = 0;             // throttle opening, % (0..100)
    std::uint8_t ThrottleAngleRaw = 0;    // its byte
    double ThrottlePosition = 0;          // throttle position sensor's voltage, V (0..5.1)
    std::uint8_t ThrottlePositionRaw = 0; // its byte
    double MapV = 0;                      // manifold pressure (MAP) sensor's voltage, V (0..5.1)
    double MAPbar = 0;                    // intake vacuum, kPa (not bar), whole (-83..104)
    double Baro = 0;                      // barometric pressure, kPa, whole (10..104)
    std::int32_t RPMengine = 0;           // engine speed, rpm (0..6375, steps of 25)
    std::uint8_t RPMengineRaw = 0;        // its byte
    std::int32_t RPMsec = 0;              // whole revolutions a second, 1/s: 1000 / RPMperiod
    double RPMperiod = 0;                 // duration of one revolution, ms (0..1000)
    std::uint8_t Speed = 0;               // vehicle speed, km/h
    double Acc = 0;                       // supply voltage (of the accumulator, the battery), V
    double OxygenSensor = 0;              // oxygen sensor (or CO potentiometer) signal, mV
    std::string ErrorText;                // the two fault bytes as four upper-case hex digits
    std::uint8_t ErrorByte1 = 0;          // first fault byte: one stored fault per bit
    std::uint8_t ErrorByte2 = 0;          // second fault byte: one stored fault per bit
    double INJwidth = 0;                  // injection pulse width, ms (0..1000)
    std::uint8_t AirControlDesired = 0;   // idle air valve position the ECU wants, steps
    std::uint8_t AirControl = 0;          // idle air valve position, steps
    double RPMdesired = 0;                // engine speed the ECU calculated, rpm (0..1593.75)
    double RPMdesiredIDLE = 0;            // idle speed the ECU has set, rpm (0..1593.75)
    std::uint16_t Timer = 0;              // engine run time, s
    double FuelAirRatio = 0;              // air/fuel ratio (air to fuel, despite the name)

    bool operator==(const EngineData&) const = default;
};

} // namespace ecu
