// Frame handling: the echo, the mode test, short answers, variants, and values kept.
#include "DecodeTestUtil.h"

#include <gtest/gtest.h>

namespace {

using ecu::ByteString;
using ecu::DecodeFrame;
using ecu::EngineData;
using ecu::EngineVariant;
using ecu::VariantFromIndex;
using namespace ecu::test;

EngineData Decoded(const ByteString& frame, EngineVariant variant) {
    ByteString rx = frame;
    EngineData d;
    EXPECT_TRUE(DecodeFrame(rx, d, variant));
    return d;
}

TEST(DecodeFrame, EmptyBufferIsAnErrorAndChangesNothing) {
    ByteString rx;
    EngineData d = Decoded(Exchange(64, 0x33), ecu::EngineVariant::Sohc);
    const EngineData before = d;
    EXPECT_THROW(DecodeFrame(rx, d, ecu::EngineVariant::Sohc), ecu::DecodeError);
    EXPECT_EQ(d, before);
}

TEST(DecodeFrame, IgnoresFramesWithoutTheDataModeByte) {
    const EngineData before = Decoded(Exchange(64, 0x33), ecu::EngineVariant::Sohc);
    for (ByteString rx :
         {ByteString{0xF4}, ByteString{0xF4, 0x56}, ByteString{0xF4, 0x56, 0x02}, [] {
              ByteString r = Exchange(64, 0x77);
              r[2] = 0x02;
              return r;
          }()}) {
        const ByteString sent = rx;
        for (const EngineVariant variant : {EngineVariant::Sohc, EngineVariant::Dohc}) {
            EngineData d = before;
            EXPECT_FALSE(DecodeFrame(rx, d, variant));
            EXPECT_EQ(rx, sent) << "the echo stays when the mode test fails";
            EXPECT_EQ(d, before);
        }
    }
}

TEST(DecodeFrame, RemovesTheEchoInPlace) {
    ByteString rx = Exchange(64);
    for (std::size_t i = 4; i < rx.size(); ++i) {
        rx[i] = static_cast<std::uint8_t>(i);
    }
    const ByteString answer(rx.begin() + 4, rx.end());
    EngineData d;
    EXPECT_TRUE(DecodeFrame(rx, d, ecu::EngineVariant::Sohc));
    EXPECT_EQ(rx, answer);

    // An echo cut short leaves nothing behind and decodes nothing.
    rx = {0xF4, 0x56, 0x01};
    EXPECT_FALSE(DecodeFrame(rx, d, ecu::EngineVariant::Sohc));
    EXPECT_TRUE(rx.empty());
}

TEST(DecodeFrame, WithoutAVariantOnlyTheEchoGoes) {
    EngineData d = Decoded(Exchange(64, 0x10), ecu::EngineVariant::Sohc);
    const EngineData before = d;
    for (int index : {-1, 2, -7}) {
        ByteString rx = Exchange(64, 0xEE);
        EXPECT_FALSE(DecodeFrame(rx, d, VariantFromIndex(index)));
        EXPECT_EQ(rx.size(), 64U);
        EXPECT_EQ(d, before);
    }
}

TEST(DecodeFrame, AnswerShorterThanItsLayoutDecodesNothing) {
    struct Case {
        EngineVariant variant;
        std::size_t needed;
    };
    for (const Case c : {Case{ecu::EngineVariant::Sohc, 43}, Case{ecu::EngineVariant::Dohc, 26}}) {
        EngineData d = Decoded(Exchange(68, 0x10), c.variant);
        const EngineData before = d;
        for (std::size_t size = 0; size < c.needed; ++size) {
            ByteString rx = Exchange(size, 0xEE);
            rx.shrink_to_fit();
            EXPECT_FALSE(DecodeFrame(rx, d, c.variant)) << size;
            EXPECT_EQ(rx.size(), size);
            EXPECT_EQ(d, before) << size;
        }
        // The shortest answer that carries every byte of the layout decodes.
        ByteString rx = Exchange(c.needed, 0xFF);
        EXPECT_TRUE(DecodeFrame(rx, d, c.variant));
        EXPECT_EQ(d.TemperatureWater, 151.25);
    }
}

TEST(DecodeFrame, SohcAnswerOfZeroBytes) {
    const EngineData d = Decoded(Exchange(64, 0x00), ecu::EngineVariant::Sohc);
    EXPECT_EQ(d.TemperatureWater, -40);
    EXPECT_EQ(d.TemperatureAir, -40);
    EXPECT_EQ(d.UOZ, 0);
    EXPECT_EQ(d.MAPbar, 10);
    EXPECT_EQ(d.Baro, 10);
    EXPECT_EQ(d.Timer, 0);
    EXPECT_EQ(d.ErrorText, "0000");
    // A zero revolution period has no speed; the frame is still decoded.
    EXPECT_EQ(d.RPMsec, 0);
    EXPECT_EQ(d.RPMperiod, 0);
}

TEST(DecodeFrame, SohcAnswerOfFFBytes) {
    const EngineData d = Decoded(Exchange(64, 0xFF), ecu::EngineVariant::Sohc);
    EXPECT_EQ(d.TemperatureWater, 151.25);
    EXPECT_EQ(d.ThrottleAngle, 100);
    EXPECT_EQ(d.ThrottlePosition, 5.1);
    EXPECT_EQ(d.RPMengine, 6375);
    EXPECT_EQ(d.RPMsec, 1);
    EXPECT_EQ(d.RPMperiod, 1000);
    EXPECT_EQ(d.MAPbar, 10);
    EXPECT_EQ(d.Baro, 104);
    EXPECT_EQ(d.UOZ, 89);
    EXPECT_EQ(d.Acc, 25.5);
    EXPECT_EQ(d.INJwidth, 1000);
    EXPECT_EQ(d.FuelAirRatio, 25.5);
    EXPECT_EQ(d.RPMdesired, 1593.75);
    EXPECT_EQ(d.Timer, 65535);
    EXPECT_EQ(d.ErrorText, "FFFF");
}

TEST(DecodeFrame, SohcVacuumExtremesAndRevolutionPeriod) {
    ByteString rx = Exchange(64);
    Set(rx, 27, 255);
    Set(rx, 30, 0);
    Set(rx, 12, 0x01);
    Set(rx, 13, 0x00);
    const EngineData d = Decoded(rx, ecu::EngineVariant::Sohc);
    EXPECT_EQ(d.MAPbar, 104);
    EXPECT_EQ(d.RPMsec, 255);
    EXPECT_NEAR(d.RPMperiod, 3.906, 0.0005);
}

TEST(DecodeFrame, FaultBytesAsHexText) {
    ByteString sohc = Exchange(64);
    Set(sohc, 5, 0x0A);
    Set(sohc, 6, 0x5F);
    ByteString dohc = Exchange(68);
    Set(dohc, 7, 0x0A);
    Set(dohc, 8, 0x5F);
    for (const auto& d :
         {Decoded(sohc, ecu::EngineVariant::Sohc), Decoded(dohc, ecu::EngineVariant::Dohc)}) {
        EXPECT_EQ(d.ErrorText, "0A5F");
        EXPECT_EQ(d.ErrorByte1, 0x0A);
        EXPECT_EQ(d.ErrorByte2, 0x5F);
    }
}

TEST(DecodeFrame, DohcKeepsTheFieldsItDoesNotCarry) {
    ByteString sohc = Exchange(64, 0xC8);
    EngineData d;
    ASSERT_TRUE(DecodeFrame(sohc, d, ecu::EngineVariant::Sohc));
    const EngineData afterSohc = d;

    ByteString dohc = Exchange(68, 0x11);
    ASSERT_TRUE(DecodeFrame(dohc, d, ecu::EngineVariant::Dohc));
    EXPECT_EQ(d.ThrottleAngle, afterSohc.ThrottleAngle);
    EXPECT_EQ(d.ThrottleAngleRaw, afterSohc.ThrottleAngleRaw);
    EXPECT_EQ(d.RPMsec, afterSohc.RPMsec);
    EXPECT_EQ(d.RPMperiod, afterSohc.RPMperiod);
    EXPECT_EQ(d.INJwidth, afterSohc.INJwidth);
    EXPECT_EQ(d.AirControlDesired, afterSohc.AirControlDesired);
    EXPECT_EQ(d.AirControl, afterSohc.AirControl);
    EXPECT_EQ(d.RPMdesired, afterSohc.RPMdesired);
    EXPECT_EQ(d.RPMdesiredIDLE, afterSohc.RPMdesiredIDLE);
    EXPECT_EQ(d.Timer, afterSohc.Timer);
    EXPECT_EQ(d.FuelAirRatio, afterSohc.FuelAirRatio);
    // …and rewrites the ones it does carry.
    EXPECT_EQ(d.TemperatureWaterRaw, 0x11);
    EXPECT_EQ(d.ErrorText, "1111");

    // From a fresh start those fields stay zero.
    dohc = Exchange(68, 0x11);
    EngineData fresh;
    ASSERT_TRUE(DecodeFrame(dohc, fresh, ecu::EngineVariant::Dohc));
    EXPECT_EQ(fresh.ThrottleAngle, 0);
    EXPECT_EQ(fresh.Timer, 0);
    EXPECT_EQ(fresh.FuelAirRatio, 0);
}

TEST(DecodeFrame, ReadsNeitherHeaderNorTrailingBytes) {
    ByteString a = Exchange(64, 0x42);
    ByteString b = a;
    for (std::size_t n : {0, 1, 2, 43, 50, 63}) {
        Set(b, n, 0x99);
    }
    EXPECT_EQ(Decoded(a, ecu::EngineVariant::Sohc), Decoded(b, ecu::EngineVariant::Sohc));
    ByteString c = Exchange(68, 0x42);
    ByteString e = c;
    for (std::size_t n : {0, 1, 2, 5, 6, 13, 18, 21, 23, 24, 26, 67}) {
        Set(e, n, 0x99);
    }
    EXPECT_EQ(Decoded(c, ecu::EngineVariant::Dohc), Decoded(e, ecu::EngineVariant::Dohc));
}

// Only the request's echo followed by a whole answer with the variant's header and a right
// checksum decodes; whatever else a line or a file can hold changes nothing.
TEST(DecodeExchange, DecodesOnlyAWellFormedExchange) {
    using Change = void (*)(ByteString&);
    struct Case {
        const char* what;
        EngineVariant variant;
        Change change;
        bool decodes;
    };
    const Case cases[] = {
        {"SOHC as sent", EngineVariant::Sohc, [](ByteString&) {}, true},
        {"DOHC as sent", EngineVariant::Dohc, [](ByteString&) {}, true},
        {"a byte after the answer", EngineVariant::Sohc, [](ByteString& r) { r.push_back(0); },
         true},
        {"a data byte changed", EngineVariant::Sohc, [](ByteString& r) { Set(r, 20, 0x00); },
         false},
        {"the checksum off by one", EngineVariant::Dohc, [](ByteString& r) { ++r.back(); }, false},
        {"the other variant's length byte", EngineVariant::Sohc,
         [](ByteString& r) { Set(r, 1, 0x96); }, false},
        {"no device byte", EngineVariant::Dohc, [](ByteString& r) { Set(r, 0, 0xF5); }, false},
        {"another mode", EngineVariant::Sohc, [](ByteString& r) { Set(r, 2, 0x02); }, false},
        {"the last byte missing", EngineVariant::Sohc, [](ByteString& r) { r.pop_back(); }, false},
        {"a stray byte ahead of the echo", EngineVariant::Sohc,
         [](ByteString& r) { r.insert(r.begin(), 0x00); }, false},
        {"another request's echo", EngineVariant::Sohc, [](ByteString& r) { r[3] = 0xB1; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteString rx = WellFormed(c.variant, 0x5A);
        c.change(rx);
        EngineData d = Decoded(Exchange(64, 0x10), EngineVariant::Sohc);
        const EngineData before = d;
        EXPECT_EQ(ecu::DecodeExchange(rx, d, c.variant), c.decodes);
        if (c.decodes) {
            ByteString plain = rx;
            EngineData expected = before;
            ASSERT_TRUE(DecodeFrame(plain, expected, c.variant));
            EXPECT_EQ(d, expected) << "decoded exactly as without the check";
        } else {
            EXPECT_EQ(d, before);
        }
    }
    // A DOHC answer read as SOHC is no SOHC answer, however long the buffer.
    ByteString dohc = WellFormed(EngineVariant::Dohc, 0x5A);
    EXPECT_FALSE(ecu::ExchangeWellFormed(dohc, EngineVariant::Sohc));
    EXPECT_FALSE(ecu::ExchangeWellFormed(dohc, EngineVariant::None));
    ByteString empty;
    EngineData d;
    EXPECT_THROW(ecu::DecodeExchange(empty, d, EngineVariant::Sohc), ecu::DecodeError);
}

} // namespace
