#include "Options.h"

#include "common/CommandLine.h"
#include "link/Decode.h"

#include <string_view>

namespace ecu::csvtool {

const char* const kUsage =
    "usage: ecu-csv [--variant sohc|dohc|auto] [--format exact|display] FILE.bin\n"
    "Writes the records of a recording as CSV to standard output. A damaged cycle (an\n"
    "answer cut short, a stray byte) is skipped up to the next F4 56 01 B5 and counted on\n"
    "standard error; its row number stays unused.\n"
    "  --variant  sohc: 68-byte records; dohc: 72-byte records; auto (default): the size\n"
    "             under which more records begin with F4 56 01 (a tie picks sohc); from a\n"
    "             pipe or device, within its first 64 KiB\n"
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
