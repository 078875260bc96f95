#pragma once
// The values the graphs can draw, and how a graph reads its value from EngineData.
#include "link/EngineData.h"

#include <array>
#include <cstdint>
#include <variant>

namespace ecu {

// How a channel's field is stored; the numbers are those the channel table uses.
enum class GraphKind : std::uint8_t { None = 0, UInt8 = 1, UInt16 = 2, Int32 = 3, Double = 4 };

// The EngineData field a graph draws, typed by its storage: the alternative's index is its
// GraphKind, so a source cannot be read with the wrong width.
using GraphSource =
    std::variant<std::monostate, std::uint8_t EngineData::*, std::uint16_t EngineData::*,
                 std::int32_t EngineData::*, double EngineData::*>;

struct GraphChannel {
    GraphSource Source; // empty until bound
    GraphKind Kind() const { return static_cast<GraphKind>(Source.index()); }
};

// The channel's field as a double; a quiet NaN (a gap in the line) while nothing is bound.
double ReadChannel(const EngineData& engine, const GraphChannel& channel);

// One item of the setup page's graph boxes: the label shown beside the graph, the fixed
// range of its left axis and the field drawn.
struct GraphChannelRow {
    const char* Label; // UTF-8, always 10 characters
    double AxisMin;
    double AxisMax;
    GraphSource Source;
};

inline constexpr int GraphChannelRowCount = 12;
extern const std::array<GraphChannelRow, GraphChannelRowCount> GraphChannelTable;

// The row chosen by a box's item index, or nullptr for no item (-1) or an unknown one.
const GraphChannelRow* GraphChannelRowAt(int itemIndex);

} // namespace ecu
