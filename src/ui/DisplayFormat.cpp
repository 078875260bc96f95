#include "ui/DisplayFormat.h"

#include "ui/TextRules.h"

#include <charconv>

namespace ecu {

void AppendShown(std::string& out, double value, const ValueFormat& format) {
    AppendFixed(out, value, format.width, format.decimals);
}

void AppendWhole(std::string& out, long long value, const ValueFormat& format) {
    if (format.kind == ValueFormat::RunTime) {
        AppendRunTime(out, static_cast<std::uint16_t>(value));
        return;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void AppendShown(std::string& out, const std::string& value, const ValueFormat&) {
    out += value;
}

} // namespace ecu
