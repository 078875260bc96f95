#pragma once
// A recording of a drive whose every record differs from its neighbours in each value the
// pages and the default graphs show: what a playback needs to really redraw. Each record is
// the data request's echo, then the answer the simulator gives for that moment (link
// ecu_sim).
#include "ecu-sim/AnswerEncoder.h"

#include <fstream>
#include <string>

namespace ecu::test {

inline void WriteTrip(const std::string& path, int records,
                      EngineVariant variant = EngineVariant::Sohc) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < records; ++i) {
        SimEngine engine;
        engine.rpm = 800 + 25 * (i % 200);
        engine.coolantC = -10 + 0.75 * (i % 150);
        engine.advanceDeg = 5 + (i % 40);
        engine.throttlePct = i % 90;
        engine.tpsVolts = 0.5 + 0.04 * (i % 100);
        engine.speedKmh = i % 120;
        engine.runSeconds = i;
        WriteDataRecord(out, engine, variant);
    }
}

} // namespace ecu::test
