#pragma once
// Command line of ecu-log.
#include "ui/CsvRow.h"
#include "wire/EngineVariant.h"
#include "wire/Modes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ecu::logtool {

// The optional first column: nothing (the columns of ecu-csv), milliseconds since the
// first data request, or the local wall-clock time of each cycle's request.
enum class TimeColumn { None, Ms, Iso };

struct Options {
    EngineVariant variant = EngineVariant::Sohc;
    std::int32_t delayMs = StartUpPollDelayMs; // wait after each data request
    CsvFormat format = CsvFormat::Exact;
    TimeColumn time = TimeColumn::None;
    std::optional<std::string> record; // .bin file that receives every byte from the first cycle
    bool reconnect = false;            // a broken link or lost adapter is waited out, not the end
    std::string port;                  // COM1, COM2 or a device path
    bool help = false;
};

extern const char* const kUsage;

// Nothing on bad usage; `error` then names the argument refused.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

} // namespace ecu::logtool
