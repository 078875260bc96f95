// One refresh of the parameters page, as every poll cycle on that page costs it.
#include "ecu-sim/AnswerEncoder.h"
#include "link/Decode.h"
#include "ui/TFrameParameter.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <array>

namespace {

ecu::EngineData Decoded(const ecu::SimEngine& engine) {
    ecu::ByteString rx{0xF4, 0x56, 0x01, 0xB5};
    const auto answer = ecu::EncodeDataAnswer(engine, ecu::EngineVariant::Sohc);
    rx.insert(rx.end(), answer.begin(), answer.end());
    ecu::EngineData data;
    ecu::DecodeFrame(rx, data, ecu::EngineVariant::Sohc);
    return data;
}

// Two engine states that differ in every shown value, so each refresh rewrites every text.
std::array<ecu::EngineData, 2> TwoStates() {
    ecu::SimEngine a;
    a.runSeconds = 200;
    ecu::SimEngine b;
    b.runSeconds = 4000;
    b.coolantC = 85;
    b.intakeAirC = 35;
    b.throttlePct = 30;
    b.tpsVolts = 1.6;
    b.rpm = 3100;
    b.idleTargetRpm = 900;
    b.baroKPa = 99;
    b.vacuumKPa = 40;
    b.mapVolts = 2.5;
    b.speedKmh = 72;
    b.batteryVolts = 13.2;
    b.o2mV = 700;
    b.injectionMs = 4.1;
    b.airFuelRatio = 13.9;
    b.advanceDeg = 30;
    b.iacSteps = 20;
    b.iacDesiredSteps = 22;
    b.promId = 0x1234;
    b.faultByte1 = 0x81;
    return {Decoded(a), Decoded(b)};
}

// paint:1 adds the paint that the changed controls ask for, as the event loop runs it
// while the poll waits.
void ShowParametersChanging(benchmark::State& state) {
    const bool paint = state.range(0) != 0;
    const auto states = TwoStates();
    ecu::EngineData data;
    ecu::TFrameParameter page(data);
    page.show();
    QApplication::processEvents();
    std::size_t i = 0;
    for (auto _ : state) {
        data = states[i++ & 1];
        page.ShowParameters();
        if (paint)
            QApplication::processEvents();
    }
}
BENCHMARK(ShowParametersChanging)->ArgName("paint")->Arg(0)->Arg(1);

void ShowParametersSteady(benchmark::State& state) {
    ecu::EngineData data = TwoStates()[1];
    ecu::TFrameParameter page(data);
    page.show();
    QApplication::processEvents();
    page.ShowParameters();
    for (auto _ : state)
        page.ShowParameters();
}
BENCHMARK(ShowParametersSteady);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Windows")); // the program's style
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
