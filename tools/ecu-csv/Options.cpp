#include "Options.h"

#include "link/Decode.h"

#include <string_view>

namespace ecu::csvtool {

const char* const kUsage =
    "usage: ecu-csv [--variant sohc|dohc|auto] [--format exact|display] FILE.bin\n"
    "Writes the records of a recording as CSV to standard output.\n"
    "  --variant  sohc: 68-byte records; dohc: 72-byte records; auto (default): the size\n"
    "             under which more records begin with F4 56 01 (a tie picks sohc)\n"
    "  --format   exact (default): integers, shortest round-trip doubles, fault hex digits;\n"
    "             display: the values as the parameters page shows them\n";

namespace {

bool SetVariant(std::string_view value, Options& options) {
    if (value == "sohc") {
        options.variant = VariantSohc;
    } else if (value == "dohc") {
        options.variant = VariantDohc;
    } else if (value == "auto") {
        options.variant.reset();
    } else {
        return false;
    }
    return true;
}

bool SetFormat(std::string_view value, Options& options) {
    const auto format = CsvFormatFromName(value);
    if (!format) {
        return false;
    }
    options.format = *format;
    return true;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    bool haveFile = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg.starts_with("-") && arg != "-") {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                options.help = true;
                return options;
            }
            // --name value or --name=value
            const auto eq = arg.find('=');
            const std::string_view name = arg.substr(0, eq);
            std::string_view value;
            if (eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return std::nullopt;
            }
            const bool ok = name == "--variant"  ? SetVariant(value, options)
                            : name == "--format" ? SetFormat(value, options)
                                                 : false;
            if (!ok) {
                return std::nullopt;
            }
            continue;
        }
        if (haveFile) {
            return std::nullopt;
        }
        options.file = arg;
        haveFile = true;
    }
    if (!haveFile) {
        return std::nullopt;
    }
    return options;
}

} // namespace ecu::csvtool
