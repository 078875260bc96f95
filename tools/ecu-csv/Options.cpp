#include "Options.h"

#include "common/CommandLine.h"
#include "link/Decode.h"

#include <string_view>

namespace ecu::csvtool {

const char* const kUsage =
    "usage: ecu-csv [--variant sohc|dohc|auto] [--format exact|display] FILE.bin\n"
    "Writes the records of a recording as CSV to standard output. A record is a cycle:\n"
    "the echoed request F4 56 01 B5 and what follows up to the next one; its row number\n"
    "is the number of echoes before it. A record shorter than a whole cycle (an answer cut\n"
    "short) is skipped, its number unused; bytes after a whole answer or before the first\n"
    "echo give no row. What was skipped is counted on standard error.\n"
    "  --variant  sohc: 68-byte cycles; dohc: 72-byte cycles; auto (default): the size more\n"
    "             records have exactly (from a pipe or device, within its first 64 KiB);\n"
    "             when the counts are equal, exit 2 and ask for --variant\n"
    "  --format   exact (default): integers, shortest round-trip doubles, fault hex digits;\n"
    "             display: the values as the parameters page shows them\n";

namespace {

constexpr std::string_view kVariantTakes = "sohc, dohc or auto";
constexpr std::string_view kFormatTakes = "exact or display";

std::string_view Takes(std::string_view option) {
    return option == "--variant" ? kVariantTakes : kFormatTakes;
}

bool SetVariant(std::string_view value, Options& options) {
    // "auto" is this tool's own: guess from the file.
    if (value == "auto") {
        options.variant.reset();
        return true;
    }
    options.variant = ParseVariant(value);
    return options.variant.has_value();
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

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    using Kind = cmdline::Arg::Kind;
    Options options;
    bool haveFile = false;
    cmdline::Scanner args(argc, argv, {"--variant", "--format"});
    for (auto arg = args.Next(); arg.kind != Kind::End; arg = args.Next()) {
        switch (arg.kind) {
        case Kind::Help:
            options.help = true;
            return options;
        case Kind::Option:
            if (!(arg.name == "--variant" ? SetVariant(arg.value, options)
                                          : SetFormat(arg.value, options))) {
                error = cmdline::Refusal(arg, Takes(arg.name));
                return std::nullopt;
            }
            break;
        case Kind::Positional:
            if (haveFile) {
                error = cmdline::Refusal(arg) + ": one FILE.bin only";
                return std::nullopt;
            }
            options.file = arg.value;
            haveFile = true;
            break;
        default: // missing value, unknown option
            error = cmdline::Refusal(arg, Takes(arg.name));
            return std::nullopt;
        }
    }
    if (!haveFile) {
        error = "no FILE.bin given";
        return std::nullopt;
    }
    return options;
}

} // namespace ecu::csvtool
