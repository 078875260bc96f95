#pragma once
// CSV lines of engine values: one header, then one row per record of a recording or per
// live poll cycle. Lines end with '\n'; no field ever needs quoting.
#include "link/EngineData.h"
#include "ui/DisplayFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ecu {

enum class CsvFormat {
    // Integers in decimal, doubles in shortest round-trip form, ErrorText as its hex digits.
    Exact,
    // Each field as the display table writes it, which is how the parameters page shows it
    // (leading spaces kept); the raw bytes and fault bytes in decimal.
    Display,
};

// "exact" or "display"; nothing for any other name.
std::optional<CsvFormat> CsvFormatFromName(std::string_view name);

// "record,decoded," and the EngineData field names in declaration order.
void AppendCsvHeader(std::string& out);
std::string CsvHeader();

// record index; 1 when that record was decoded, else 0; every field of data. The Display
// format writes each field as table says.
void AppendCsvRow(std::string& out, std::uint64_t record, bool decoded, const EngineData& data,
                  CsvFormat format, const DisplayTable& table = kDisplayTable);
std::string CsvRow(std::uint64_t record, bool decoded, const EngineData& data, CsvFormat format,
                   const DisplayTable& table = kDisplayTable);

} // namespace ecu
