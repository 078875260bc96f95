#pragma once
// Command line of ecu-csv.
#include "ui/CsvRow.h"
#include "wire/EngineVariant.h"

#include <optional>
#include <string>

namespace ecu::csvtool {

struct Options {
    std::optional<EngineVariant> variant; // nothing: guess from the file
    CsvFormat format = CsvFormat::Exact;
    std::string file;
    bool help = false;
};

extern const char* const kUsage;

// Nothing on bad usage; `error` then names the argument refused.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

} // namespace ecu::csvtool
