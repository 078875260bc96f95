#include "link/ControlFrame.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ecu {
namespace {

ControlLayout Sohc() {
    ControlLayout l;
    SetControlLayout(l, EngineVariant::Sohc);
    return l;
}

std::uint8_t SumOf(const ControlBytes& b) {
    return static_cast<std::uint8_t>(std::accumulate(b.begin(), b.end(), 0u));
}

TEST(ControlFrame, OutputBitsSetAndClearInBothCopiesWithoutDisturbingOthers) {
    const ControlLayout l = Sohc();
    ControlFrame f;
    f.CheckEngieOn(l);
    f.CheckEngieOn(l);
    EXPECT_EQ(f.Bytes[3], 0x01);
    EXPECT_EQ(f.Bytes[4], 0x01);
    f.CarlsonOn(l);
    EXPECT_EQ(f.Bytes[3], 0x03);
    EXPECT_EQ(f.Bytes[4], 0x03);
    f.CheckEngieOff(l);
    f.CheckEngieOff(l);
    EXPECT_EQ(f.Bytes[3], 0x02);
    EXPECT_EQ(f.Bytes[4], 0x02);
    f.CarlsonOff(l);
    EXPECT_EQ(f.Bytes, ControlFrameDefault);
}

TEST(ControlFrame, CommandBitsAccumulateUntilRestore) {
    const ControlLayout l = Sohc();
    ControlFrame f;
    f.ClearFaults(l);
    f.ResetLearning(l);
    EXPECT_EQ(f.Bytes[5], 0x50);
    f.ClearFaults(l);
    f.ResetLearning(l);
    EXPECT_EQ(f.Bytes[5], 0x50);
    f.CheckEngieOff(l); // touches only the output bytes
    EXPECT_EQ(f.Bytes[5], 0x50);
    f.Restore();
    EXPECT_EQ(f.Bytes, ControlFrameDefault);
}

TEST(ControlFrame, IacTargetAndCancel) {
    const ControlLayout l = Sohc();
    ControlFrame f;
    f.SetIacTarget(l, 200);
    EXPECT_EQ(f.Bytes[9], 0x01);
    EXPECT_EQ(f.Bytes[10], 0xC8);
    f.CancelIac(l);
    EXPECT_EQ(f.Bytes[9], 0x00);
    EXPECT_EQ(f.Bytes[10], 0x00);
}

TEST(ControlFrame, ChecksumMakesFrameSumToZeroAfterAnyEdits) {
    const ControlLayout l = Sohc();
    ControlFrame f;
    f.Checksum();
    EXPECT_EQ(f.Bytes[13], 0xA8);
    f.CheckEngieOn(l);
    f.ClearFaults(l);
    f.SetIacTarget(l, 0x78);
    EXPECT_NE(SumOf(f.Bytes), 0); // edits leave the checksum alone
    f.Checksum();
    EXPECT_EQ(SumOf(f.Bytes), 0);
    EXPECT_EQ(f.Bytes[13], 0x100 - ((0x58 + 0x01 + 0x01 + 0x40 + 0x01 + 0x78) & 0xFF));
}

TEST(ControlLayout, BothVariantsUseTheSamePositionsAndNoSelectionKeepsTheLast) {
    ControlLayout l;
    EXPECT_EQ(l, ControlLayout{});
    SetControlLayout(l, EngineVariant::Dohc);
    const ControlLayout dohc = l;
    SetControlLayout(l, EngineVariant::Sohc);
    EXPECT_EQ(l, dohc);
    EXPECT_EQ(l, (ControlLayout{4, 5, 6, 10, 11}));
    SetControlLayout(l, EngineVariant::None);
    EXPECT_EQ(l, dohc);
}

TEST(ControlFrame, EditsBeforeAnyLayoutChangeNothing) {
    const ControlLayout unset;
    ControlFrame f;
    f.CheckEngieOn(unset);
    f.CarlsonOn(unset);
    f.ClearFaults(unset);
    f.SetIacTarget(unset, 42);
    EXPECT_EQ(f.Bytes, ControlFrameDefault);
}

} // namespace
} // namespace ecu
