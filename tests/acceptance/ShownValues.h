#pragma once
// What the parameters page must show for an ECU answer, worked out here from the answer's
// bytes with exact integer arithmetic on the scales' fractions, apart from the program's
// own decoder and text rules, so that the two check each other.
#include "wire/EngineVariant.h"

#include <QString>

#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace ecu::accept {

struct ShownValues {
    std::map<std::string, QString> texts; // edit box name -> text
    std::map<std::string, int> bars;      // progress bar name -> position

    // The page of a run that has decoded nothing yet: every value 0.
    static ShownValues Zero();
    // The values the answer (without its echo) writes in the variant's layout; the
    // others keep what they held.
    void Apply(std::span<const std::uint8_t> answer, EngineVariant variant);
};

// A fraction num/den as fixed-point text with d decimals, halves away from zero, padded
// on the left to width w.
QString Fixed(std::int64_t num, std::int64_t den, int w, int d);
// Hours and minutes of a run time in seconds, "hh:mm".
QString RunTime(unsigned seconds);

// The engine values the graphs draw by default (speed, coolant, advance, throttle).
struct GraphValues {
    double rpm = 0;
    double coolant = 0;
    double advance = 0;
    double throttle = 0;
};
GraphValues GraphValuesOf(std::span<const std::uint8_t> answer, EngineVariant variant,
                          GraphValues held);

} // namespace ecu::accept
