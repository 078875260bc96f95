// DecodeFrame on arbitrary buffers: first byte picks the variant (−1, 0, 1, 2), the rest is
// the received buffer. Checks what holds for every input.
#include "FuzzCheck.h"
#include "link/Decode.h"

#include <cstddef>
#include <cstdint>

namespace {

using ecu::EngineData;

bool In(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}

// A state with every field set, so that kept and rewritten fields can be told apart.
EngineData Seeded() {
    ecu::ByteString rx(68, 0xA5);
    rx[2] = 0x01;
    EngineData d;
    ecu::DecodeFrame(rx, d, ecu::EngineVariant::Sohc);
    return d;
}

char Hex(unsigned nibble) {
    return "0123456789ABCDEF"[nibble];
}

void CheckCommon(const EngineData& d, const ecu::ByteString& a, std::size_t e1, std::size_t e2) {
    FUZZ_CHECK(d.ErrorText.size() == 4);
    FUZZ_CHECK(d.ErrorByte1 == a[e1] && d.ErrorByte2 == a[e2]);
    FUZZ_CHECK(d.ErrorText[0] == Hex(a[e1] >> 4) && d.ErrorText[1] == Hex(a[e1] & 15));
    FUZZ_CHECK(d.ErrorText[2] == Hex(a[e2] >> 4) && d.ErrorText[3] == Hex(a[e2] & 15));
    FUZZ_CHECK(d.PromID == 256 * a[3] + a[4]);
    FUZZ_CHECK(In(d.TemperatureWater, -40, 151.25) && In(d.TemperatureAir, -40, 151.25));
    FUZZ_CHECK(In(d.ThrottlePosition, 0, 5.1) && In(d.MapV, 0, 5.1));
    FUZZ_CHECK(d.RPMengine == 25 * d.RPMengineRaw && d.RPMengine <= 6375);
    FUZZ_CHECK(In(d.UOZ, 0, 89) && d.UOZ == static_cast<int>(d.UOZ));
    FUZZ_CHECK(In(d.Baro, 10, 104) && d.Baro == static_cast<int>(d.Baro));
    FUZZ_CHECK(In(d.MAPbar, -83, 104) && d.MAPbar == static_cast<int>(d.MAPbar));
    FUZZ_CHECK(In(d.Acc, 0, 25.5) && In(d.OxygenSensor, 0, 1133.34));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ecu::EngineVariant variant = ecu::VariantFromIndex(static_cast<int>(data[0] % 4) - 1);
    ecu::ByteString rx(data + 1, data + size);
    const ecu::ByteString sent = rx;
    static const EngineData seeded = Seeded();
    EngineData d = seeded;

    if (rx.empty()) {
        bool thrown = false;
        try {
            ecu::DecodeFrame(rx, d, variant);
        } catch (const ecu::DecodeError&) {
            thrown = true;
        }
        FUZZ_CHECK(thrown && d == seeded);
        return 0;
    }

    const bool decoded = ecu::DecodeFrame(rx, d, variant);
    if (sent.size() < 3 || sent[2] != 0x01) {
        FUZZ_CHECK(!decoded && rx == sent && d == seeded);
        return 0;
    }
    const std::size_t echo = sent.size() < 4 ? sent.size() : 4;
    FUZZ_CHECK(rx == ecu::ByteString(sent.begin() + static_cast<std::ptrdiff_t>(echo), sent.end()));
    if (!decoded) {
        FUZZ_CHECK(d == seeded);
        FUZZ_CHECK((variant != ecu::EngineVariant::Sohc || rx.size() < 43) &&
                   (variant != ecu::EngineVariant::Dohc || rx.size() < 26));
        return 0;
    }
    const ecu::ByteString& a = rx;
    if (variant == ecu::EngineVariant::Sohc) {
        FUZZ_CHECK(a.size() >= 43);
        CheckCommon(d, a, 5, 6);
        FUZZ_CHECK(d.TemperatureWaterRaw == a[7] && d.TemperatureAirRaw == a[31]);
        FUZZ_CHECK(d.UOZRaw == a[36] && d.ThrottleAngleRaw == a[10]);
        FUZZ_CHECK(In(d.ThrottleAngle, 0, 100));
        const unsigned period = 256U * a[12] + a[13];
        FUZZ_CHECK(period == 0 ? d.RPMsec == 0
                               : d.RPMsec * period <= 65535U && (d.RPMsec + 1U) * period > 65535U);
        FUZZ_CHECK(In(d.RPMperiod, 0, 1000) && In(d.INJwidth, 0, 1000));
        FUZZ_CHECK(In(d.RPMdesired, 0, 1593.75) && In(d.RPMdesiredIDLE, 0, 1593.75));
        FUZZ_CHECK(In(d.FuelAirRatio, 0, 25.5) && d.Timer == 256 * a[41] + a[42]);
    } else {
        FUZZ_CHECK(variant == ecu::EngineVariant::Dohc && a.size() >= 26);
        CheckCommon(d, a, 7, 8);
        FUZZ_CHECK(d.TemperatureWaterRaw == a[9] && d.TemperatureAirRaw == a[10]);
        FUZZ_CHECK(d.UOZRaw == a[25] && d.Speed == a[17]);
        // What this layout does not carry stays as it was.
        FUZZ_CHECK(d.ThrottleAngle == seeded.ThrottleAngle && d.RPMsec == seeded.RPMsec &&
                   d.RPMperiod == seeded.RPMperiod && d.INJwidth == seeded.INJwidth &&
                   d.AirControl == seeded.AirControl && d.Timer == seeded.Timer &&
                   d.FuelAirRatio == seeded.FuelAirRatio && d.RPMdesired == seeded.RPMdesired);
    }
    return 0;
}
