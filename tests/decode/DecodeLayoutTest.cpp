// Every field of both layouts against expectations computed here, over every byte value.
#include "DecodeTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using ecu::EngineData;
using namespace ecu::test;

// Values of the extended-precision formulas, from the decimal constants as long doubles.
double Ld(long double x) {
    return static_cast<double>(x);
}

using ByteCheck = std::function<void(const EngineData&, unsigned)>;

struct ByteField {
    std::size_t offset;
    ByteCheck check;
};

ByteCheck Temperature(double EngineData::*value, std::uint8_t EngineData::*raw) {
    return [=](const EngineData& d, unsigned b) {
        EXPECT_EQ(d.*value, b * 0.75 - 40) << b;
        EXPECT_EQ(d.*raw, b);
    };
}

ByteCheck Volts(double EngineData::*value) {
    return [=](const EngineData& d, unsigned b) { EXPECT_EQ(d.*value, Ld(b * 0.02L)) << b; };
}

ByteCheck Raw(std::uint8_t EngineData::*raw) {
    return [=](const EngineData& d, unsigned b) { EXPECT_EQ(d.*raw, b); };
}

ByteCheck Rpm() {
    return [](const EngineData& d, unsigned b) {
        EXPECT_EQ(d.RPMengine, static_cast<int>(b) * 25);
        EXPECT_EQ(d.RPMengineRaw, b);
    };
}

ByteCheck Oxygen() {
    return [](const EngineData& d, unsigned b) { EXPECT_EQ(d.OxygenSensor, Ld(b / 0.225L)) << b; };
}

ByteCheck Supply() {
    return [](const EngineData& d, unsigned b) { EXPECT_EQ(d.Acc, Ld(b * 0.1L)) << b; };
}

ByteCheck Advance() {
    return [](const EngineData& d, unsigned b) {
        EXPECT_EQ(d.UOZ, ExactAdvance(b)) << b;
        EXPECT_EQ(d.UOZRaw, b);
    };
}

ByteCheck Baro() {
    return [](const EngineData& d, unsigned b) {
        EXPECT_EQ(d.Baro, ExactKpa(static_cast<int>(b))) << b;
    };
}

ByteCheck Fault(std::uint8_t EngineData::*byte, std::size_t at) {
    return [=](const EngineData& d, unsigned b) {
        EXPECT_EQ(d.*byte, b);
        static constexpr char kHex[] = "0123456789ABCDEF";
        ASSERT_EQ(d.ErrorText.size(), 4U);
        EXPECT_EQ(d.ErrorText[at], kHex[b / 16]);
        EXPECT_EQ(d.ErrorText[at + 1], kHex[b % 16]);
    };
}

ByteCheck SixPointTwoFive(double EngineData::*value) {
    return [=](const EngineData& d, unsigned b) { EXPECT_EQ(d.*value, b * 6.25); };
}

const std::vector<ByteField>& SohcBytes() {
    static const std::vector<ByteField> fields = {
        {5, Fault(&EngineData::ErrorByte1, 0)},
        {6, Fault(&EngineData::ErrorByte2, 2)},
        {7, Temperature(&EngineData::TemperatureWater, &EngineData::TemperatureWaterRaw)},
        {9, Volts(&EngineData::ThrottlePosition)},
        {9, Raw(&EngineData::ThrottlePositionRaw)},
        {10,
         [](const EngineData& d, unsigned b) {
             EXPECT_EQ(d.ThrottleAngle, Ld(b / 2.55L)) << b;
             EXPECT_EQ(d.ThrottleAngleRaw, b);
         }},
        {11, Rpm()},
        {14, [](const EngineData& d, unsigned b) { EXPECT_EQ(d.Speed, b); }},
        {16, Oxygen()},
        {23, Raw(&EngineData::AirControl)},
        {24, Raw(&EngineData::AirControlDesired)},
        {25, SixPointTwoFive(&EngineData::RPMdesired)},
        {26, SixPointTwoFive(&EngineData::RPMdesiredIDLE)},
        {27, Baro()},
        {28, Volts(&EngineData::MapV)},
        {31, Temperature(&EngineData::TemperatureAir, &EngineData::TemperatureAirRaw)},
        {33, Supply()},
        {36, Advance()},
    };
    return fields;
}

const std::vector<ByteField>& DohcBytes() {
    static const std::vector<ByteField> fields = {
        {7, Fault(&EngineData::ErrorByte1, 0)},
        {8, Fault(&EngineData::ErrorByte2, 2)},
        {9, Temperature(&EngineData::TemperatureWater, &EngineData::TemperatureWaterRaw)},
        {10, Temperature(&EngineData::TemperatureAir, &EngineData::TemperatureAirRaw)},
        {11, Volts(&EngineData::MapV)},
        {12, Baro()},
        {14, Volts(&EngineData::ThrottlePosition)},
        {14, Raw(&EngineData::ThrottlePositionRaw)},
        {15, Rpm()},
        {16, Oxygen()},
        {17, [](const EngineData& d, unsigned b) { EXPECT_EQ(d.Speed, b); }},
        {22, Supply()},
        {25, Advance()},
    };
    return fields;
}

// Sweeps one byte over 0..255 on a random background, decoding each frame afresh.
void SweepBytes(ecu::EngineVariant variant, std::size_t answerSize,
                const std::vector<ByteField>& fields) {
    std::mt19937 rng(static_cast<unsigned>(ecu::VariantIndex(variant)) + 1);
    ecu::ByteString background = Exchange(answerSize);
    for (std::size_t i = 4; i < background.size(); ++i) {
        background[i] = static_cast<std::uint8_t>(rng());
    }
    for (const auto& field : fields) {
        for (unsigned b = 0; b < 256; ++b) {
            ecu::ByteString rx = background;
            Set(rx, field.offset, b);
            EngineData d;
            ASSERT_TRUE(ecu::DecodeFrame(rx, d, variant));
            SCOPED_TRACE("answer byte " + std::to_string(field.offset));
            field.check(d, b);
            if (testing::Test::HasFailure()) {
                return;
            }
        }
    }
}

TEST(SohcLayout, EveryOneByteFieldOverAllValues) {
    SweepBytes(ecu::EngineVariant::Sohc, 64, SohcBytes());
}

TEST(DohcLayout, EveryOneByteFieldOverAllValues) {
    SweepBytes(ecu::EngineVariant::Dohc, 68, DohcBytes());
}

// Sweeps a big-endian word at `offset` over all 65536 values.
void SweepWord(ecu::EngineVariant variant, std::size_t offset,
               const std::function<void(const EngineData&, unsigned)>& check) {
    ecu::ByteString rx;
    EngineData d;
    for (unsigned w = 0; w < 65536; ++w) {
        rx = Exchange(variant == ecu::EngineVariant::Sohc ? 64 : 68, 0x5A);
        Set(rx, offset, w >> 8);
        Set(rx, offset + 1, w & 0xFF);
        ASSERT_TRUE(ecu::DecodeFrame(rx, d, variant));
        check(d, w);
        if (testing::Test::HasFailure()) {
            FAIL() << "word " << w << " at answer byte " << offset;
        }
    }
}

TEST(SohcLayout, EveryTwoByteFieldOverAllValues) {
    SweepWord(ecu::EngineVariant::Sohc, 3,
              [](const EngineData& d, unsigned w) { EXPECT_EQ(d.PromID, w); });
    SweepWord(ecu::EngineVariant::Sohc, 12, [](const EngineData& d, unsigned w) {
        // Whole revolutions per second: the largest n with n * period <= 65535 ticks.
        if (w != 0) {
            EXPECT_LE(static_cast<unsigned>(d.RPMsec) * w, 65535U);
            EXPECT_GT((static_cast<unsigned>(d.RPMsec) + 1) * w, 65535U);
        } else {
            EXPECT_EQ(d.RPMsec, 0);
        }
        EXPECT_EQ(d.RPMperiod, Ld(w / 65.535L));
    });
    SweepWord(ecu::EngineVariant::Sohc, 37,
              [](const EngineData& d, unsigned w) { EXPECT_EQ(d.INJwidth, Ld(w / 65.535L)); });
    SweepWord(ecu::EngineVariant::Sohc, 39,
              [](const EngineData& d, unsigned w) { EXPECT_EQ(d.FuelAirRatio, Ld(w / 2570.0L)); });
    SweepWord(ecu::EngineVariant::Sohc, 41,
              [](const EngineData& d, unsigned w) { EXPECT_EQ(d.Timer, w); });
}

TEST(DohcLayout, ProgramIdOverAllValues) {
    SweepWord(ecu::EngineVariant::Dohc, 3,
              [](const EngineData& d, unsigned w) { EXPECT_EQ(d.PromID, w); });
}

// The vacuum takes the difference of two bytes, so every pair is checked.
void SweepVacuum(ecu::EngineVariant variant, std::size_t minuend, std::size_t subtrahend) {
    EngineData d;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            ecu::ByteString rx = Exchange(variant == ecu::EngineVariant::Sohc ? 64 : 68);
            Set(rx, minuend, static_cast<unsigned>(a));
            Set(rx, subtrahend, static_cast<unsigned>(b));
            ASSERT_TRUE(ecu::DecodeFrame(rx, d, variant));
            ASSERT_EQ(d.MAPbar, ExactKpa(a - b)) << a << " - " << b;
        }
    }
}

TEST(SohcLayout, VacuumOverAllBytePairs) {
    SweepVacuum(ecu::EngineVariant::Sohc, 27, 30);
}

TEST(DohcLayout, VacuumOverAllBytePairs) {
    SweepVacuum(ecu::EngineVariant::Dohc, 12, 11);
}

TEST(IntFields, TruncateTheExactDecimalResult) {
    // Where 64-bit doubles with 64-bit constants fall one short.
    EXPECT_EQ(ExactAdvance(90), 32);
    EXPECT_EQ(ExactAdvance(170), 60);
    EngineData d;
    for (const auto& [b, want] : {std::pair{1U, 0}, {2U, 1}, {10U, 4}, {90U, 32}, {170U, 60}}) {
        ecu::ByteString rx = Exchange(64);
        Set(rx, 36, b);
        ASSERT_TRUE(ecu::DecodeFrame(rx, d, ecu::EngineVariant::Sohc));
        EXPECT_EQ(d.UOZ, want) << b;
    }
    // Negative vacuum truncates toward zero: -83.24… gives -83.
    ecu::ByteString rx = Exchange(64);
    Set(rx, 27, 0);
    Set(rx, 30, 255);
    ASSERT_TRUE(ecu::DecodeFrame(rx, d, ecu::EngineVariant::Sohc));
    EXPECT_EQ(d.MAPbar, -83);
    // Between -1 and 0 the result is a plain zero, without a sign.
    rx = Exchange(64);
    Set(rx, 27, 0);
    Set(rx, 30, 30);
    ASSERT_TRUE(ecu::DecodeFrame(rx, d, ecu::EngineVariant::Sohc));
    EXPECT_EQ(d.MAPbar, 0);
    EXPECT_FALSE(std::signbit(d.MAPbar));
}

} // namespace
