#include "LogOptions.h"

#include <charconv>
#include <string_view>

namespace ecu::logtool {

const char* const kUsage =
    "usage: ecu-log [--variant sohc|dohc] [--delay MS] [--format exact|display]\n"
    "               [--record FILE.bin] PORT\n"
    "Polls the ECU on PORT (COM1, COM2 or a device path) at 8200 baud and writes one CSV\n"
    "row per cycle to standard output. SIGINT or SIGTERM ends it.\n"
    "  --variant  engine variant of the ECU (default sohc)\n"
    "  --delay    wait after each data request in milliseconds, 1 to 60000 (default 120)\n"
    "  --format   exact (default) or display, the same columns as ecu-csv\n"
    "  --record   also record the received bytes to FILE.bin for playback\n"
    "Exit status: 0 stopped by a signal, 1 port or file cannot be opened, 2 bad usage,\n"
    "3 the link to the ECU broke.\n";

namespace {

bool SetVariant(std::string_view value, Options& o) {
    if (value == "sohc")
        o.variant = 0;
    else if (value == "dohc")
        o.variant = 1;
    else
        return false;
    return true;
}

bool SetDelay(std::string_view value, Options& o) {
    std::int32_t ms = 0;
    const auto [end, err] = std::from_chars(value.data(), value.data() + value.size(), ms);
    if (err != std::errc() || end != value.data() + value.size() || ms < 1 || ms > 60000)
        return false;
    o.delayMs = ms;
    return true;
}

bool SetFormat(std::string_view value, Options& o) {
    const auto format = CsvFormatFromName(value);
    if (!format)
        return false;
    o.format = *format;
    return true;
}

bool SetRecord(std::string_view value, Options& o) {
    if (value.empty())
        return false;
    o.record = std::string(value);
    return true;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options o;
    bool havePort = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg.starts_with("-") && arg != "-") {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                o.help = true;
                return o;
            }
            // --name value or --name=value
            const auto eq = arg.find('=');
            const std::string_view name = arg.substr(0, eq);
            std::string_view value;
            if (eq != std::string_view::npos)
                value = arg.substr(eq + 1);
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return std::nullopt;
            const bool ok = name == "--variant"  ? SetVariant(value, o)
                            : name == "--delay"  ? SetDelay(value, o)
                            : name == "--format" ? SetFormat(value, o)
                            : name == "--record" ? SetRecord(value, o)
                                                 : false;
            if (!ok)
                return std::nullopt;
            continue;
        }
        if (havePort)
            return std::nullopt;
        o.port = arg;
        havePort = true;
    }
    if (!havePort || o.port.empty())
        return std::nullopt;
    return o;
}

} // namespace ecu::logtool
