#include "link/Decode.h"

#include "wire/Frames.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <numeric>

namespace ecu {
namespace {

// The floating formulas are defined on the 80-bit extended type, whose constants 2.55, 0.225,
// 0.02 … differ from their doubles. A platform without a 64-bit significand would show
// different values in the last digit, so refuse to build there rather than drift silently.
static_assert(std::numeric_limits<long double>::digits >= 64,
              "long double must have a 64-bit significand (x87 extended precision)");

// Answer bytes each layout needs: one past its highest byte offset.
constexpr std::size_t kSohcAnswerSize = 43;
constexpr std::size_t kDohcAnswerSize = 26;
// Frame bytes the length byte does not count: device, length and checksum.
constexpr std::size_t kUncountedBytes = 3;

// Read-only view of the answer; callers check the size once before any access.
struct Answer {
    const std::uint8_t* bytes;

    unsigned B(std::size_t n) const { return bytes[n]; }
    unsigned W(std::size_t n) const { return 256U * bytes[n] + bytes[n + 1]; }
};

double Temperature(unsigned b) {
    return static_cast<double>(b * 0.75L - 40.0L);
}
double Volts002(unsigned b) {
    return static_cast<double>(b * 0.02L);
}
double Oxygen(unsigned b) {
    return static_cast<double>(b / 0.225L);
}
double Supply(unsigned b) {
    return static_cast<double>(b * 0.1L);
}
double Period(unsigned w) {
    return static_cast<double>(w / 65.535L);
}
double Rpm625(unsigned b) {
    return static_cast<double>(b * 100U) / 16.0;
}

// Int(b * 0.35 + 0.5) = floor((35b + 50) / 100): exact on every platform.
double Advance(unsigned b) {
    const unsigned whole = (35U * b + 50U) / 100U;
    return whole;
}

// Int(d / 2.71 + 10.854) = trunc((100000d + 2941434) / 271000); C++ integer division
// truncates toward zero exactly as Int does, also for negative d.
double Kpa(int d) {
    const long whole = (100000L * d + 2941434L) / 271000L;
    return static_cast<double>(whole);
}

void SetFaults(EngineData& data, unsigned first, unsigned second) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    data.ErrorByte1 = static_cast<std::uint8_t>(first);
    data.ErrorByte2 = static_cast<std::uint8_t>(second);
    const char text[4] = {kHex[first >> 4], kHex[first & 15], kHex[second >> 4], kHex[second & 15]};
    data.ErrorText.assign(text, sizeof text);
}

void DecodeSohc(Answer a, EngineData& d) {
    d.PromID = static_cast<std::uint16_t>(a.W(3));
    SetFaults(d, a.B(5), a.B(6));
    d.TemperatureWater = Temperature(a.B(7));
    d.TemperatureWaterRaw = static_cast<std::uint8_t>(a.B(7));
    d.ThrottlePosition = Volts002(a.B(9));
    d.ThrottlePositionRaw = static_cast<std::uint8_t>(a.B(9));
    d.ThrottleAngle = static_cast<double>(a.B(10) / 2.55L);
    d.ThrottleAngleRaw = static_cast<std::uint8_t>(a.B(10));
    d.RPMengine = static_cast<std::int32_t>(a.B(11) * 25U);
    d.RPMengineRaw = static_cast<std::uint8_t>(a.B(11));
    // A zero period has no speed: report 0 and keep decoding the rest of the frame.
    const unsigned period = a.W(12);
    d.RPMsec = period == 0 ? 0 : static_cast<std::int32_t>(65535U / period);
    d.RPMperiod = Period(period);
    d.Speed = static_cast<std::uint8_t>(a.B(14));
    d.OxygenSensor = Oxygen(a.B(16));
    d.AirControl = static_cast<std::uint8_t>(a.B(23));
    d.AirControlDesired = static_cast<std::uint8_t>(a.B(24));
    d.RPMdesired = Rpm625(a.B(25));
    d.RPMdesiredIDLE = Rpm625(a.B(26));
    d.MAPbar = Kpa(static_cast<int>(a.B(27)) - static_cast<int>(a.B(30)));
    d.Baro = Kpa(static_cast<int>(a.B(27)));
    d.MapV = Volts002(a.B(28));
    d.TemperatureAir = Temperature(a.B(31));
    d.TemperatureAirRaw = static_cast<std::uint8_t>(a.B(31));
    d.Acc = Supply(a.B(33));
    d.UOZ = Advance(a.B(36));
    d.UOZRaw = static_cast<std::uint8_t>(a.B(36));
    d.INJwidth = Period(a.W(37));
    d.FuelAirRatio = static_cast<double>(a.W(39) / 2570.0L);
    d.Timer = static_cast<std::uint16_t>(a.W(41));
}

// Fields this layout does not carry keep the values of the last SOHC frame.
void DecodeDohc(Answer a, EngineData& d) {
    d.PromID = static_cast<std::uint16_t>(a.W(3));
    SetFaults(d, a.B(7), a.B(8));
    d.TemperatureWater = Temperature(a.B(9));
    d.TemperatureWaterRaw = static_cast<std::uint8_t>(a.B(9));
    d.TemperatureAir = Temperature(a.B(10));
    d.TemperatureAirRaw = static_cast<std::uint8_t>(a.B(10));
    d.MapV = Volts002(a.B(11));
    d.MAPbar = Kpa(static_cast<int>(a.B(12)) - static_cast<int>(a.B(11)));
    d.Baro = Kpa(static_cast<int>(a.B(12)));
    d.ThrottlePosition = Volts002(a.B(14));
    d.ThrottlePositionRaw = static_cast<std::uint8_t>(a.B(14));
    d.RPMengine = static_cast<std::int32_t>(a.B(15) * 25U);
    d.RPMengineRaw = static_cast<std::uint8_t>(a.B(15));
    d.OxygenSensor = Oxygen(a.B(16));
    d.Speed = static_cast<std::uint8_t>(a.B(17));
    d.Acc = Supply(a.B(22));
    d.UOZ = Advance(a.B(25));
    d.UOZRaw = static_cast<std::uint8_t>(a.B(25));
}

} // namespace

bool DecodeFrame(ByteString& rx, EngineData& data, EngineVariant variant) {
    if (rx.empty()) {
        throw DecodeError("no answer received from the ECU");
    }
    if (rx.size() <= ModeOffset || rx[ModeOffset] != DataRequest[ModeOffset]) {
        return false;
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(std::min(EchoLength, rx.size())));

    switch (variant) {
    case EngineVariant::Sohc:
        // A cut-off answer decodes nothing rather than mixing old and new values.
        if (rx.size() < kSohcAnswerSize) {
            return false;
        }
        DecodeSohc(Answer{rx.data()}, data);
        return true;
    case EngineVariant::Dohc:
        if (rx.size() < kDohcAnswerSize) {
            return false;
        }
        DecodeDohc(Answer{rx.data()}, data);
        return true;
    default:
        return false;
    }
}

bool ExchangeWellFormed(std::span<const std::uint8_t> rx, EngineVariant variant) noexcept {
    const std::size_t length = DataAnswerLength(variant);
    if (length == 0 || rx.size() < EchoLength + length ||
        !std::equal(DataRequest.begin(), DataRequest.end(), rx.begin()))
        return false;
    const auto answer = rx.subspan(EchoLength, length);
    const auto lengthByte = static_cast<std::uint8_t>(LengthByteBase + length - kUncountedBytes);
    if (answer[0] != DataRequest[0] || answer[1] != lengthByte ||
        answer[ModeOffset] != DataRequest[ModeOffset])
        return false;
    const unsigned sum = std::accumulate(answer.begin(), answer.end(), 0U);
    return (sum & 0xFFU) == 0;
}

bool DecodeExchange(ByteString& rx, EngineData& data, EngineVariant variant) {
    if (rx.empty())
        throw DecodeError("no answer received from the ECU");
    return ExchangeWellFormed(rx, variant) && DecodeFrame(rx, data, variant);
}

} // namespace ecu
