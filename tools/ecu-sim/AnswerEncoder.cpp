#include "ecu-sim/AnswerEncoder.h"

#include "ecu-sim/LinkBytes.h"
#include "wire/Frames.h"

#include <algorithm>
#include <cmath>

namespace ecu {
namespace {

constexpr std::size_t kSohcData = 60;
constexpr std::size_t kDohcData = 64;

// Vacuum and barometric pressure are shown as Int(x / 2.71 + 10.854) of a byte (or of a byte
// difference); the offset is part of the scanner's scale.
constexpr double kPressureScale = 2.71;
constexpr double kPressureOffset = 10.854;

std::uint8_t Clamp8(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::uint16_t Clamp16(double v) {
    return static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
}

std::uint8_t TemperatureByte(double c) {
    return Clamp8((c + 40.0) / 0.75);
}

// The scanner truncates toward zero, so aim at the whole value from its side of zero.
int PressureCount(double kpa) {
    const double whole = std::round(kpa);
    const double exact = (whole - kPressureOffset) * kPressureScale;
    return static_cast<int>(whole >= 0 ? std::ceil(exact) : std::floor(exact));
}

struct Pressures {
    std::uint8_t baro;
    std::uint8_t manifold; // baro minus the vacuum count
};

Pressures EncodePressures(const SimEngine& e) {
    const int baro = std::clamp(PressureCount(e.baroKPa), 0, 255);
    const int manifold = std::clamp(baro - PressureCount(e.vacuumKPa), 0, 255);
    return {static_cast<std::uint8_t>(baro), static_cast<std::uint8_t>(manifold)};
}

void Put16(std::vector<std::uint8_t>& d, std::size_t answerOffset, std::uint16_t v) {
    d[answerOffset - 3] = static_cast<std::uint8_t>(v >> 8);
    d[answerOffset - 2] = static_cast<std::uint8_t>(v & 0xFF);
}

// Duration of one revolution in units of 1/65.535 ms.
std::uint16_t RevolutionPeriod(double rpm) {
    if (rpm <= 0)
        return 0xFFFF;
    return std::max<std::uint16_t>(1, Clamp16(60000.0 / rpm * 65.535));
}

std::vector<std::uint8_t> SohcData(const SimEngine& e) {
    std::vector<std::uint8_t> d(kSohcData, 0);
    // Offsets below count from the answer's first byte; the data starts at answer offset 3.
    auto at = [&d](std::size_t answerOffset) -> std::uint8_t& { return d[answerOffset - 3]; };
    Put16(d, 3, e.promId);
    at(5) = e.faultByte1;
    at(6) = e.faultByte2;
    at(7) = TemperatureByte(e.coolantC);
    at(9) = Clamp8(e.tpsVolts / 0.02);
    at(10) = Clamp8(e.throttlePct * 2.55);
    at(11) = Clamp8(e.rpm / 25.0);
    Put16(d, 12, RevolutionPeriod(e.rpm));
    at(14) = Clamp8(e.speedKmh);
    at(16) = Clamp8(e.o2mV * 0.225);
    at(23) = Clamp8(e.iacSteps);
    at(24) = Clamp8(e.iacDesiredSteps);
    at(25) = Clamp8(e.rpm / 6.25);
    at(26) = Clamp8(e.idleTargetRpm / 6.25);
    const Pressures p = EncodePressures(e);
    at(27) = p.baro;
    at(28) = Clamp8(e.mapVolts / 0.02);
    at(30) = p.manifold;
    at(31) = TemperatureByte(e.intakeAirC);
    at(33) = Clamp8(e.batteryVolts / 0.1);
    at(36) = Clamp8(e.advanceDeg / 0.35);
    Put16(d, 37, Clamp16(e.injectionMs * 65.535));
    Put16(d, 39, Clamp16(e.airFuelRatio * 2570.0));
    Put16(d, 41, Clamp16(std::floor(e.runSeconds)));
    return d;
}

std::vector<std::uint8_t> DohcData(const SimEngine& e) {
    std::vector<std::uint8_t> d(kDohcData, 0);
    auto at = [&d](std::size_t answerOffset) -> std::uint8_t& { return d[answerOffset - 3]; };
    Put16(d, 3, e.promId);
    at(7) = e.faultByte1;
    at(8) = e.faultByte2;
    at(9) = TemperatureByte(e.coolantC);
    at(10) = TemperatureByte(e.intakeAirC);
    // This ECU reports one manifold byte that serves both as sensor voltage and as the
    // pressure the vacuum is computed from; the vacuum is kept right.
    const Pressures p = EncodePressures(e);
    at(11) = p.manifold;
    at(12) = p.baro;
    at(14) = Clamp8(e.tpsVolts / 0.02);
    at(15) = Clamp8(e.rpm / 25.0);
    at(16) = Clamp8(e.o2mV * 0.225);
    at(17) = Clamp8(e.speedKmh);
    at(22) = Clamp8(e.batteryVolts / 0.1);
    at(25) = Clamp8(e.advanceDeg / 0.35);
    return d;
}

} // namespace

std::vector<std::uint8_t> EncodeDataAnswer(const SimEngine& engine, EngineVariant variant) {
    const auto data = variant == EngineVariant::Dohc ? DohcData(engine) : SohcData(engine);
    return link_bytes::MakeFrame(link_bytes::kModeData, data);
}

std::size_t DataAnswerSize(EngineVariant variant) {
    return (variant == EngineVariant::Dohc ? kDohcData : kSohcData) + 4;
}

void WriteDataRecord(std::ostream& out, const SimEngine& engine, EngineVariant variant) {
    const auto answer = EncodeDataAnswer(engine, variant);
    out.write(reinterpret_cast<const char*>(DataRequest.data()), DataRequest.size());
    out.write(reinterpret_cast<const char*>(answer.data()),
              static_cast<std::streamsize>(answer.size()));
}

} // namespace ecu
