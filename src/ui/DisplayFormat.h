#pragma once
// How each engine value is written for a person to read. The parameters page's edits and the
// CSV "display" format both take their widths and decimals from this one table, so the page
// and `ecu-csv --format display` cannot drift apart.
#include "link/EngineData.h"

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ecu {

struct ValueFormat {
    enum Kind : std::uint8_t {
        Decimal, // a whole number in decimal
        Fixed,   // fixed-point, padded on the left to width, never cut (FormatFixed)
        RunTime, // seconds as "hh:mm" (FormatRunTime)
        Text,    // as it is
    };
    Kind kind = Decimal;
    int width = 0;
    int decimals = 0;
};

// The fields of EngineData in declaration order, which is also the CSV's column order.
enum class Field : std::uint8_t {
    PromID,
    TemperatureWater,
    TemperatureWaterRaw,
    TemperatureAir,
    TemperatureAirRaw,
    UOZ,
    UOZRaw,
    ThrottleAngle,
    ThrottleAngleRaw,
    ThrottlePosition,
    ThrottlePositionRaw,
    MapV,
    MAPbar,
    Baro,
    RPMengine,
    RPMengineRaw,
    RPMsec,
    RPMperiod,
    Speed,
    Acc,
    OxygenSensor,
    ErrorText,
    ErrorByte1,
    ErrorByte2,
    INJwidth,
    AirControlDesired,
    AirControl,
    RPMdesired,
    RPMdesiredIDLE,
    Timer,
    FuelAirRatio,
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::FuelAirRatio) + 1;

constexpr std::size_t Index(Field field) {
    return static_cast<std::size_t>(field);
}

struct FieldFormat {
    Field field = Field::PromID;
    const char* name = nullptr; // the EngineData member, and the CSV column's name
    const char* edit =
        nullptr; // the parameters page's edit that shows it; nullptr: only in the CSV
    ValueFormat format;
};

// One entry per field, at the field's index.
using DisplayTable = std::array<FieldFormat, kFieldCount>;

namespace format {
inline constexpr ValueFormat Decimal{ValueFormat::Decimal};
inline constexpr ValueFormat RunTime{ValueFormat::RunTime};
inline constexpr ValueFormat Text{ValueFormat::Text};
constexpr ValueFormat Fixed(int width, int decimals) {
    return {ValueFormat::Fixed, width, decimals};
}
} // namespace format

// The raw bytes and the fault bytes have no edit: the page shows them as bars and as the
// fault word's text.
inline constexpr DisplayTable kDisplayTable{{
    {Field::PromID, "PromID", "EditPromID", format::Decimal},
    {Field::TemperatureWater, "TemperatureWater", "EditTemperatureWater", format::Fixed(5, 1)},
    {Field::TemperatureWaterRaw, "TemperatureWaterRaw", nullptr, format::Decimal},
    {Field::TemperatureAir, "TemperatureAir", "EditTemperatureAir", format::Fixed(5, 1)},
    {Field::TemperatureAirRaw, "TemperatureAirRaw", nullptr, format::Decimal},
    {Field::UOZ, "UOZ", "EditUOZ", format::Fixed(2, 0)},
    {Field::UOZRaw, "UOZRaw", nullptr, format::Decimal},
    {Field::ThrottleAngle, "ThrottleAngle", "EditThrottleAngle", format::Fixed(3, 0)},
    {Field::ThrottleAngleRaw, "ThrottleAngleRaw", nullptr, format::Decimal},
    {Field::ThrottlePosition, "ThrottlePosition", "EditThrottlePosition", format::Fixed(3, 1)},
    {Field::ThrottlePositionRaw, "ThrottlePositionRaw", nullptr, format::Decimal},
    {Field::MapV, "MapV", "EditMapV", format::Fixed(4, 2)},
    {Field::MAPbar, "MAPbar", "EditMAPbar", format::Fixed(3, 0)},
    {Field::Baro, "Baro", "EditBaro", format::Fixed(3, 0)},
    {Field::RPMengine, "RPMengine", "EditRPMengine", format::Decimal},
    {Field::RPMengineRaw, "RPMengineRaw", nullptr, format::Decimal},
    {Field::RPMsec, "RPMsec", "EditRPMsec", format::Decimal},
    {Field::RPMperiod, "RPMperiod", "EditRPMperiod", format::Fixed(3, 1)},
    {Field::Speed, "Speed", "EditSpeed", format::Decimal},
    {Field::Acc, "Acc", "EditAcc", format::Fixed(4, 1)},
    {Field::OxygenSensor, "OxygenSensor", "EditOxygenSensor", format::Fixed(3, 0)},
    {Field::ErrorText, "ErrorText", "EditError", format::Text},
    {Field::ErrorByte1, "ErrorByte1", nullptr, format::Decimal},
    {Field::ErrorByte2, "ErrorByte2", nullptr, format::Decimal},
    {Field::INJwidth, "INJwidth", "EditINJwidth", format::Fixed(4, 1)},
    {Field::AirControlDesired, "AirControlDesired", "EditAirControlDesired", format::Decimal},
    {Field::AirControl, "AirControl", "EditAirControl", format::Decimal},
    {Field::RPMdesired, "RPMdesired", "EditRPMdesired", format::Fixed(3, 0)},
    {Field::RPMdesiredIDLE, "RPMdesiredIDLE", "EditRPMdesiredIDLE", format::Fixed(3, 0)},
    {Field::Timer, "Timer", "EditTimer", format::RunTime},
    {Field::FuelAirRatio, "FuelAirRatio", "EditFuelAirRatio", format::Fixed(5, 2)},
}};

constexpr bool EveryEntryAtItsIndex(const DisplayTable& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (Index(table[i].field) != i)
            return false;
    }
    return true;
}
static_assert(EveryEntryAtItsIndex(kDisplayTable));

// Calls visit(field, value) for every field of data, in declaration order.
template <class Visit> void ForEachField(const EngineData& d, Visit&& visit) {
    visit(Field::PromID, d.PromID);
    visit(Field::TemperatureWater, d.TemperatureWater);
    visit(Field::TemperatureWaterRaw, d.TemperatureWaterRaw);
    visit(Field::TemperatureAir, d.TemperatureAir);
    visit(Field::TemperatureAirRaw, d.TemperatureAirRaw);
    visit(Field::UOZ, d.UOZ);
    visit(Field::UOZRaw, d.UOZRaw);
    visit(Field::ThrottleAngle, d.ThrottleAngle);
    visit(Field::ThrottleAngleRaw, d.ThrottleAngleRaw);
    visit(Field::ThrottlePosition, d.ThrottlePosition);
    visit(Field::ThrottlePositionRaw, d.ThrottlePositionRaw);
    visit(Field::MapV, d.MapV);
    visit(Field::MAPbar, d.MAPbar);
    visit(Field::Baro, d.Baro);
    visit(Field::RPMengine, d.RPMengine);
    visit(Field::RPMengineRaw, d.RPMengineRaw);
    visit(Field::RPMsec, d.RPMsec);
    visit(Field::RPMperiod, d.RPMperiod);
    visit(Field::Speed, d.Speed);
    visit(Field::Acc, d.Acc);
    visit(Field::OxygenSensor, d.OxygenSensor);
    visit(Field::ErrorText, d.ErrorText);
    visit(Field::ErrorByte1, d.ErrorByte1);
    visit(Field::ErrorByte2, d.ErrorByte2);
    visit(Field::INJwidth, d.INJwidth);
    visit(Field::AirControlDesired, d.AirControlDesired);
    visit(Field::AirControl, d.AirControl);
    visit(Field::RPMdesired, d.RPMdesired);
    visit(Field::RPMdesiredIDLE, d.RPMdesiredIDLE);
    visit(Field::Timer, d.Timer);
    visit(Field::FuelAirRatio, d.FuelAirRatio);
}

// Appends value written as format says. A double is always written in fixed point; a whole
// number in decimal unless its format is RunTime.
void AppendShown(std::string& out, double value, const ValueFormat& format);
void AppendWhole(std::string& out, long long value, const ValueFormat& format);
template <std::integral T> void AppendShown(std::string& out, T value, const ValueFormat& format) {
    AppendWhole(out, static_cast<long long>(value), format);
}
void AppendShown(std::string& out, const std::string& value, const ValueFormat& format);

} // namespace ecu
