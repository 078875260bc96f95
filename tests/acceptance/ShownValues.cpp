#include "ShownValues.h"

namespace ecu::accept {
namespace {

std::int64_t B(std::span<const std::uint8_t> a, std::size_t n) {
    return n < a.size() ? a[n] : -1;
}

std::int64_t W(std::span<const std::uint8_t> a, std::size_t n) {
    return 256 * B(a, n) + B(a, n + 1);
}

// Int(x / 2.71 + 10.854) for a byte or a byte difference x: (50000x + 1470717) / 135500,
// truncated toward zero as C++ division does.
std::int64_t Pressure(std::int64_t x) {
    return (50000 * x + 1470717) / 135500;
}

QString Decimal(std::int64_t v) {
    return QString::number(v);
}

QString Hex2(std::int64_t b) {
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

// Values both layouts carry, at the variant's offsets.
struct Offsets {
    std::size_t fault1, coolant, air, tps, rpm, o2, speed, battery, advance;
};
constexpr Offsets kSohc{5, 7, 31, 9, 11, 16, 14, 33, 36};
constexpr Offsets kDohc{7, 9, 10, 14, 15, 16, 17, 22, 25};

} // namespace

QString Fixed(std::int64_t num, std::int64_t den, int w, int d) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    std::int64_t scale = 1;
    for (int i = 0; i < d; ++i)
        scale *= 10;
    const bool negative = num < 0;
    const std::int64_t magnitude = negative ? -num : num;
    const std::int64_t q = (2 * magnitude * scale + den) / (2 * den); // halves away from zero
    QString text = QString::number(q / scale);
    if (d > 0)
        text += QLatin1Char('.') + QString::number(q % scale).rightJustified(d, QLatin1Char('0'));
    if (negative && q != 0)
        text.prepend(QLatin1Char('-'));
    return text.rightJustified(w, QLatin1Char(' '));
}

QString RunTime(unsigned seconds) {
    return QStringLiteral("%1:%2")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'));
}

ShownValues ShownValues::Zero() {
    ShownValues v;
    auto& t = v.texts;
    t["EditPromID"] = Decimal(0);
    t["EditTemperatureWater"] = t["EditTemperatureAir"] = Fixed(0, 1, 5, 1);
    t["EditUOZ"] = Fixed(0, 1, 2, 0);
    t["EditThrottleAngle"] = Fixed(0, 1, 3, 0);
    t["EditThrottlePosition"] = Fixed(0, 1, 3, 1);
    t["EditMapV"] = Fixed(0, 1, 4, 2);
    t["EditMAPbar"] = t["EditBaro"] = Fixed(0, 1, 3, 0);
    t["EditRPMengine"] = t["EditRPMsec"] = t["EditSpeed"] = Decimal(0);
    t["EditRPMperiod"] = Fixed(0, 1, 3, 1);
    t["EditAcc"] = t["EditINJwidth"] = Fixed(0, 1, 4, 1);
    t["EditOxygenSensor"] = Fixed(0, 1, 3, 0);
    t["EditError"] = QString(); // no fault word decoded yet
    t["EditAirControlDesired"] = t["EditAirControl"] = Decimal(0);
    t["EditRPMdesired"] = t["EditRPMdesiredIDLE"] = Fixed(0, 1, 3, 0);
    t["EditTimer"] = RunTime(0);
    t["EditFuelAirRatio"] = Fixed(0, 1, 5, 2);
    // Never written by the program.
    t["EditFuelIntegrator"] = t["EditBlockLearn"] = t["EditBlockLearnCell"] = QStringLiteral("128");
    for (const char* bar :
         {"ProgressBarTemperatureWater", "ProgressBarTemperatureAir", "ProgressBarUOZ",
          "ProgressBarThrottleAngle", "ProgressBarThrottlePosition", "ProgressBarRPMengine"})
        v.bars[bar] = 0;
    return v;
}

void ShownValues::Apply(std::span<const std::uint8_t> a, EngineVariant variant) {
    const bool sohc = variant == EngineVariant::Sohc;
    const Offsets& o = sohc ? kSohc : kDohc;
    auto& t = texts;
    t["EditPromID"] = Decimal(W(a, 3));
    t["EditError"] = Hex2(B(a, o.fault1)) + Hex2(B(a, o.fault1 + 1));
    t["EditTemperatureWater"] = Fixed(3 * B(a, o.coolant) - 160, 4, 5, 1);
    t["EditTemperatureAir"] = Fixed(3 * B(a, o.air) - 160, 4, 5, 1);
    t["EditThrottlePosition"] = Fixed(B(a, o.tps), 50, 3, 1);
    t["EditRPMengine"] = Decimal(25 * B(a, o.rpm));
    t["EditOxygenSensor"] = Fixed(40 * B(a, o.o2), 9, 3, 0);
    t["EditSpeed"] = Decimal(B(a, o.speed));
    t["EditAcc"] = Fixed(B(a, o.battery), 10, 4, 1);
    t["EditUOZ"] = Fixed((7 * B(a, o.advance) + 10) / 20, 1, 2, 0);
    bars["ProgressBarTemperatureWater"] = static_cast<int>(B(a, o.coolant));
    bars["ProgressBarTemperatureAir"] = static_cast<int>(B(a, o.air));
    bars["ProgressBarThrottlePosition"] = static_cast<int>(B(a, o.tps));
    bars["ProgressBarRPMengine"] = static_cast<int>(B(a, o.rpm));
    bars["ProgressBarUOZ"] = static_cast<int>(B(a, o.advance));
    // Manifold: SOHC subtracts byte 30 from the barometer's byte 27 and reads the sensor
    // voltage at 28; DOHC has one manifold byte, 11, under the barometer's 12.
    const std::int64_t baro = B(a, sohc ? 27 : 12);
    const std::int64_t manifold = B(a, sohc ? 30 : 11);
    t["EditMAPbar"] = Fixed(Pressure(baro - manifold), 1, 3, 0);
    t["EditBaro"] = Fixed(Pressure(baro), 1, 3, 0);
    t["EditMapV"] = Fixed(B(a, sohc ? 28 : 11), 50, 4, 2);
    if (!sohc)
        return;
    t["EditThrottleAngle"] = Fixed(20 * B(a, 10), 51, 3, 0);
    bars["ProgressBarThrottleAngle"] = static_cast<int>(B(a, 10));
    const std::int64_t period = W(a, 12);
    t["EditRPMsec"] = period != 0 ? Decimal(65535 / period) : QStringLiteral("?");
    t["EditRPMperiod"] = Fixed(1000LL * period, 65535, 3, 1);
    t["EditAirControl"] = Decimal(B(a, 23));
    t["EditAirControlDesired"] = Decimal(B(a, 24));
    t["EditRPMdesired"] = Fixed(25 * B(a, 25), 4, 3, 0);
    t["EditRPMdesiredIDLE"] = Fixed(25 * B(a, 26), 4, 3, 0);
    t["EditINJwidth"] = Fixed(1000LL * W(a, 37), 65535, 4, 1);
    t["EditFuelAirRatio"] = Fixed(W(a, 39), 2570, 5, 2);
    t["EditTimer"] = RunTime(static_cast<unsigned>(W(a, 41)));
}

GraphValues GraphValuesOf(std::span<const std::uint8_t> a, EngineVariant variant,
                          GraphValues held) {
    const bool sohc = variant == EngineVariant::Sohc;
    const Offsets& o = sohc ? kSohc : kDohc;
    // Bytes are exact as doubles; the whole advance is Int(B * 0.35 + 0.5) in integers.
    const auto byte = [&a](std::size_t n) { return static_cast<double>(B(a, n)); };
    const std::int64_t advance = (7 * B(a, o.advance) + 10) / 20;
    held.rpm = 25.0 * byte(o.rpm);
    held.coolant = 0.75 * byte(o.coolant) - 40.0;
    held.advance = static_cast<double>(advance);
    if (sohc)
        held.throttle = 20.0 * byte(10) / 51.0;
    return held;
}

} // namespace ecu::accept
