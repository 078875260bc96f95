#include "ui/GraphChannels.h"

#include <limits>
#include <type_traits>

namespace ecu {

// Item order is that of the setup page's graph boxes. The "C" of the first two labels is
// Latin; "АСС" and "ХХ" are Cyrillic.
const std::array<GraphChannelRow, GraphChannelRowCount> GraphChannelTable{{
    {"  Вода C  ", -40, 150, &EngineData::TemperatureWater},
    {" Воздух C ", -40, 150, &EngineData::TemperatureAir},
    {"   УОЗ    ", 0, 90, &EngineData::UOZ},
    {"Дроссель %", 0, 100, &EngineData::ThrottleAngle},
    {"разряжение", 0, 100, &EngineData::MAPbar},
    {"оборотыДВС", 0, 6000, &EngineData::RPMengine},
    {" скорость ", 0, 255, &EngineData::Speed},
    {"   АСС    ", 0, 25, &EngineData::Acc},
    {"  L-зонд  ", 0, 1500, &EngineData::OxygenSensor},
    {"впрыск  ms", 0, 50, &EngineData::INJwidth},
    {" регул ХХ ", 0, 255, &EngineData::AirControl},
    {" возд/топл", 0, 25, &EngineData::FuelAirRatio},
}};

double ReadChannel(const EngineData& engine, const GraphChannel& channel) {
    return std::visit(
        [&engine](auto field) -> double {
            if constexpr (std::is_same_v<decltype(field), std::monostate>)
                return std::numeric_limits<double>::quiet_NaN();
            else
                return static_cast<double>(engine.*field);
        },
        channel.Source);
}

const GraphChannelRow* GraphChannelRowAt(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= GraphChannelRowCount)
        return nullptr;
    return &GraphChannelTable[static_cast<std::size_t>(itemIndex)];
}

} // namespace ecu
