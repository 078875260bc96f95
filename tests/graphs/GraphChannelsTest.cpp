#include "ui/GraphChannels.h"

#include <QString>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using ecu::EngineData;
using ecu::GraphChannel;
using ecu::GraphKind;

// Each field of the table gets a value of its own, so a row bound to the wrong field shows.
EngineData DistinctValues() {
    EngineData d;
    d.TemperatureWater = 87.25;
    d.TemperatureAir = -12.5;
    d.UOZ = 14.35;
    d.ThrottleAngle = 33.3;
    d.MAPbar = 61;
    d.RPMengine = -2;
    d.Speed = 201;
    d.Acc = 13.9;
    d.OxygenSensor = 444.4;
    d.INJwidth = 3.25;
    d.AirControl = 255;
    d.FuelAirRatio = 14.7;
    return d;
}

TEST(GraphChannelTable, RowsReadTheirFieldsWithTheirKinds) {
    const EngineData d = DistinctValues();
    const double expected[] = {87.25, -12.5, 14.35, 33.3, 61,  -2,
                               201,   13.9,  444.4, 3.25, 255, 14.7};
    for (int i = 0; i < ecu::GraphChannelRowCount; ++i) {
        const ecu::GraphChannelRow* row = ecu::GraphChannelRowAt(i);
        ASSERT_NE(row, nullptr);
        const GraphChannel channel{row->Source};
        EXPECT_EQ(ecu::ReadChannel(d, channel), expected[i]) << "row " << i;
        const GraphKind kind = i == 5                ? GraphKind::Int32
                               : (i == 6 || i == 10) ? GraphKind::UInt8
                                                     : GraphKind::Double;
        EXPECT_EQ(channel.Kind(), kind) << "row " << i;
        EXPECT_EQ(QString::fromUtf8(row->Label).size(), 10) << "row " << i;
        EXPECT_LT(row->AxisMin, row->AxisMax);
    }
    EXPECT_EQ(ecu::GraphChannelRowAt(-1), nullptr);
    EXPECT_EQ(ecu::GraphChannelRowAt(12), nullptr);
}

TEST(GraphChannelTable, LabelsAreShownAsWritten) {
    // Latin "C" in the temperatures, Cyrillic "АСС" and "ХХ".
    EXPECT_EQ(QString::fromUtf8(ecu::GraphChannelTable[0].Label),
              QString::fromUtf8("  Вода ") + QChar(u'C') + "  ");
    EXPECT_EQ(QString::fromUtf8(ecu::GraphChannelTable[7].Label).trimmed(),
              QString(QChar(0x0410)) + QChar(0x0421) + QChar(0x0421));
    EXPECT_EQ(QString::fromUtf8(ecu::GraphChannelTable[10].Label).mid(7, 2),
              QString(QChar(0x0425)) + QChar(0x0425));
}

TEST(GraphChannelTable, UnboundChannelReadsAsNoValue) {
    const GraphChannel empty;
    EXPECT_EQ(empty.Kind(), GraphKind::None);
    EXPECT_TRUE(std::isnan(ecu::ReadChannel(DistinctValues(), empty)));
}

TEST(GraphChannelTable, UnsignedSixteenBitFieldsAreReadUnsigned) {
    EngineData d;
    d.PromID = 0xFFFE;
    const GraphChannel prom{&EngineData::PromID};
    EXPECT_EQ(prom.Kind(), GraphKind::UInt16);
    EXPECT_EQ(ecu::ReadChannel(d, prom), 65534.0);
}

} // namespace
