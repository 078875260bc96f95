#include "ui/CsvRow.h"
#include "link/Decode.h"

#include "SampleEngineData.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ecu::CsvFormat;
using ecu::EngineData;

std::vector<std::string> SplitLine(const std::string& line) {
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\n');
    std::vector<std::string> fields;
    std::stringstream in(line.substr(0, line.size() - 1));
    std::string f;
    while (std::getline(in, f, ',')) {
        fields.push_back(f);
    }
    if (!line.empty() && line[line.size() - 2] == ',') {
        fields.emplace_back();
    }
    return fields;
}

TEST(CsvRow, HeaderNamesEveryFieldInDeclarationOrder) {
    EXPECT_EQ(ecu::CsvHeader(),
              "record,decoded,PromID,TemperatureWater,TemperatureWaterRaw,TemperatureAir,"
              "TemperatureAirRaw,UOZ,UOZRaw,ThrottleAngle,ThrottleAngleRaw,ThrottlePosition,"
              "ThrottlePositionRaw,MapV,MAPbar,Baro,RPMengine,RPMengineRaw,RPMsec,RPMperiod,"
              "Speed,Acc,OxygenSensor,ErrorText,ErrorByte1,ErrorByte2,INJwidth,"
              "AirControlDesired,AirControl,RPMdesired,RPMdesiredIDLE,Timer,FuelAirRatio\n");
}

TEST(CsvRow, ExactRowBeforeAnyDecodeIsAllZeroWithEmptyFaultText) {
    EXPECT_EQ(ecu::CsvRow(7, false, EngineData{}, CsvFormat::Exact),
              "7,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0,0\n");
}

TEST(CsvRow, ExactRowPrintsEveryFieldInFullPrecision) {
    EXPECT_EQ(ecu::CsvRow(12345678901ULL, true, ecu::test::SampleEngineData(), CsvFormat::Exact),
              "12345678901,1,4660,-39.25,1,-0.25,53,32,90,100,255,0.1,5,2.675,-83,104,6375,255,"
              "255,3.90625,120,13.8,1133.3333333333333,0A5F,10,95,1000,30,31,12.5,1593.75,3661,"
              "14.7\n");
}

TEST(CsvRow, DisplayRowShowsFieldsAsTheParametersPage) {
    EXPECT_EQ(ecu::CsvRow(0, true, ecu::test::SampleEngineData(), CsvFormat::Display),
              "0,1,4660,-39.3,1, -0.3,53,32,90,100,255,0.1,5,2.67,-83,104,6375,255,255,3.9,120,"
              "13.8,1133,0A5F,10,95,1000.0,30,31, 13,1594,01:01,14.70\n");
    EXPECT_EQ(ecu::CsvRow(3, false, EngineData{}, CsvFormat::Display),
              "3,0,0,  0.0,0,  0.0,0, 0,0,  0,0,0.0,0,0.00,  0,  0,0,0,0,0.0,0, 0.0,  0,,0,0, "
              "0.0,0,0,  0,  0,00:00, 0.00\n");
}

TEST(CsvRow, ExactDoublesReadBackToTheSameBits) {
    std::mt19937 rng(7);
    EngineData data;
    ecu::ByteString rx;
    for (int i = 0; i < 2000; ++i) {
        rx.assign(68, 0);
        for (auto& b : rx) {
            b = static_cast<std::uint8_t>(rng());
        }
        rx[2] = 1;
        ASSERT_TRUE(ecu::DecodeFrame(rx, data, ecu::EngineVariant::Sohc));
        const auto f = SplitLine(ecu::CsvRow(i, true, data, CsvFormat::Exact));
        ASSERT_EQ(f.size(), 33U);
        const std::pair<int, double> doubles[] = {{3, data.TemperatureWater},
                                                  {5, data.TemperatureAir},
                                                  {7, data.UOZ},
                                                  {9, data.ThrottleAngle},
                                                  {11, data.ThrottlePosition},
                                                  {13, data.MapV},
                                                  {14, data.MAPbar},
                                                  {15, data.Baro},
                                                  {19, data.RPMperiod},
                                                  {21, data.Acc},
                                                  {22, data.OxygenSensor},
                                                  {26, data.INJwidth},
                                                  {29, data.RPMdesired},
                                                  {30, data.RPMdesiredIDLE},
                                                  {32, data.FuelAirRatio}};
        for (const auto& [column, want] : doubles) {
            double got = 0;
            const std::string& text = f[static_cast<std::size_t>(column)];
            const auto r = std::from_chars(text.data(), text.data() + text.size(), got);
            ASSERT_EQ(r.ptr, text.data() + text.size()) << text;
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
                << "column " << column;
        }
    }
}

TEST(CsvRow, FormatNames) {
    EXPECT_EQ(ecu::CsvFormatFromName("exact"), CsvFormat::Exact);
    EXPECT_EQ(ecu::CsvFormatFromName("display"), CsvFormat::Display);
    EXPECT_FALSE(ecu::CsvFormatFromName("Exact"));
    EXPECT_FALSE(ecu::CsvFormatFromName(""));
}

} // namespace
