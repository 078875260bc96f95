#include "LogOptions.h"

#include "common/CommandLine.h"
#include "serial/PortMap.h"

#include <charconv>
#include <string_view>

namespace ecu::logtool {

const char* const kUsage =
    "usage: ecu-log [--variant sohc|dohc] [--delay MS] [--format exact|display]\n"
    "               [--time ms|iso] [--record FILE.bin] [--reconnect] PORT\n"
    "Polls the ECU on PORT (COM1, COM2 or a device path) at 8200 baud and writes one CSV\n"
    "row per cycle to standard output; a cycle whose echo did not come back has none, so\n"
    "the rows are numbered as ecu-csv numbers the recording. SIGINT or SIGTERM ends it.\n"
    "  --variant  engine variant of the ECU (default sohc)\n"
    "  --delay    wait after each data request in milliseconds, 1 to 60000 (default 120)\n"
    "  --format   exact (default) or display, the same columns as ecu-csv\n"
    "  --time     adds a first column time to each row, taken when the cycle's request went\n"
    "             out: ms, milliseconds since the first request; iso, local wall-clock time\n"
    "             as 2026-12-08T14:45:01.123+01:00\n"
    "  --record   also record the received bytes to FILE.bin for playback; it holds the\n"
    "             cycles that have rows, whole (a cycle cut short by a break or a signal\n"
    "             is cut away with its row)\n"
    "  --reconnect\n"
    "             after a broken link or a lost adapter, say so on standard error, try to\n"
    "             open PORT again every second and go on polling once the ECU answers;\n"
    "             a recording keeps whole cycles only\n"
    "Exit status: 0 stopped by a signal, 1 port or file cannot be opened, the recording\n"
    "cannot be written or cut back, or standard output cannot be written, 2 bad usage,\n"
    "3 the link to the ECU broke (never with --reconnect).\n";

namespace {

std::string_view Takes(std::string_view option) {
    if (option == "--variant")
        return "sohc or dohc";
    if (option == "--delay")
        return "milliseconds, 1 to 60000";
    if (option == "--format")
        return "exact or display";
    if (option == "--time")
        return "ms or iso";
    return "a file name";
}

bool SetVariant(std::string_view value, Options& o) {
    const auto variant = ParseVariant(value);
    if (!variant)
        return false;
    o.variant = *variant;
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

bool SetTime(std::string_view value, Options& o) {
    if (value == "ms")
        o.time = TimeColumn::Ms;
    else if (value == "iso")
        o.time = TimeColumn::Iso;
    else
        return false;
    return true;
}

bool SetRecord(std::string_view value, Options& o) {
    if (value.empty())
        return false;
    o.record = std::string(value);
    return true;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    using Kind = cmdline::Arg::Kind;
    Options o;
    bool havePort = false;
    cmdline::Scanner args(argc, argv, {"--variant", "--delay", "--format", "--time", "--record"},
                          {"--reconnect"});
    for (auto arg = args.Next(); arg.kind != Kind::End; arg = args.Next()) {
        switch (arg.kind) {
        case Kind::Help:
            o.help = true;
            return o;

        case Kind::Flag:
            o.reconnect = true;
            break;

        case Kind::Option: {
            const bool ok = arg.name == "--variant"  ? SetVariant(arg.value, o)
                            : arg.name == "--delay"  ? SetDelay(arg.value, o)
                            : arg.name == "--format" ? SetFormat(arg.value, o)
                            : arg.name == "--time"   ? SetTime(arg.value, o)
                                                     : SetRecord(arg.value, o);
            if (!ok) {
                error = cmdline::Refusal(arg, Takes(arg.name));
                return std::nullopt;
            }
            break;
        }
        case Kind::Positional:
            if (havePort) {
                error = cmdline::Refusal(arg) + ": one PORT only";
                return std::nullopt;
            }
            if (arg.value.empty()) {
                error = "PORT is empty";
                return std::nullopt;
            }
            if (arg.value.front() == '/') {
                o.port = arg.value;
            } else if (const auto port = PortName(arg.value)) {
                o.port = *port;
            } else {
                error = "\"" + PrintableName(arg.value) +
                        "\" is not a port name: use COM1, COM2, … COM256 or a device path";
                return std::nullopt;
            }
            havePort = true;
            break;
        default: // missing value, unknown option
            error = cmdline::Refusal(arg, Takes(arg.name));
            return std::nullopt;
        }
    }
    if (!havePort) {
        error = "no PORT given";
        return std::nullopt;
    }
    return o;
}

} // namespace ecu::logtool
