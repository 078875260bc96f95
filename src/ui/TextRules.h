#pragma once
// Text rules shared by the pages, the graphs and the export tools.
#include <cstdint>
#include <string>

namespace ecu {

// value in fixed-point notation with `decimals` digits after a full stop (none when 0).
// Rounds the exact binary value; exact halves go away from zero. No thousands separators,
// independent of the locale. Padded on the left with spaces to `width`, never cut.
// A value that rounds to zero carries no minus sign. NaN and infinities print as
// "nan", "inf" and "-inf". Negative width or decimals count as 0.
std::string FormatFixed(double value, int width, int decimals);
void AppendFixed(std::string& out, double value, int width, int decimals);

// Engine run time as hours and minutes, "hh:mm"; seconds are dropped (65535 gives "18:12").
std::string FormatRunTime(std::uint16_t seconds);
void AppendRunTime(std::string& out, std::uint16_t seconds);

} // namespace ecu
