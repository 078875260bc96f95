#pragma once
// One set of decoded values for the tests of the tables that write them (CSV rows, the
// parameters page): each field differs from the others, negative and fractional values and
// the widest ones included, so a column bound to the wrong field or format shows.
#include "link/EngineData.h"

namespace ecu::test {

inline EngineData SampleEngineData() {
    EngineData d;
    d.PromID = 4660;
    d.TemperatureWater = -39.25;
    d.TemperatureWaterRaw = 1;
    d.TemperatureAir = -0.25;
    d.TemperatureAirRaw = 53;
    d.UOZ = 32;
    d.UOZRaw = 90;
    d.ThrottleAngle = 100;
    d.ThrottleAngleRaw = 255;
    d.ThrottlePosition = 0.1;
    d.ThrottlePositionRaw = 5;
    d.MapV = 2.675;
    d.MAPbar = -83;
    d.Baro = 104;
    d.RPMengine = 6375;
    d.RPMengineRaw = 255;
    d.RPMsec = 255;
    d.RPMperiod = 3.90625;
    d.Speed = 120;
    d.Acc = 13.8;
    d.OxygenSensor = 1133.3333333333333;
    d.ErrorText = "0A5F";
    d.ErrorByte1 = 10;
    d.ErrorByte2 = 95;
    d.INJwidth = 1000;
    d.AirControlDesired = 30;
    d.AirControl = 31;
    d.RPMdesired = 12.5;
    d.RPMdesiredIDLE = 1593.75;
    d.Timer = 3661;
    d.FuelAirRatio = 14.7;
    return d;
}

} // namespace ecu::test
