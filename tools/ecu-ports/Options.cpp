#include "Options.h"

#include "PortMapEdit.h"
#include "common/CommandLine.h"
#include "serial/PortMap.h"

#include <filesystem>
#include <vector>

namespace ecu::ports {

const char* const kUsage =
    "usage: ecu-ports [--dev DIR]                     lists serial devices and the port map\n"
    "       ecu-ports [--dev DIR] link COMn DEVICE    makes COMn lead to DEVICE\n"
    "       ecu-ports unlink COMn                     COMn means the built-in port again\n"
    "Lists the serial devices an adapter shows up as (/dev/serial/by-id/*, /dev/ttyUSB*,\n"
    "/dev/ttyACM*), whether you may open each and, when not, how to get access; and what\n"
    "COM1, COM2 and every other linked name lead to now. The port map is the folder\n"
    "$XDG_CONFIG_HOME/ecuscan/ports (~/.config/ecuscan/ports by default). No device is opened.\n"
    "  DEVICE     a path, or a name under DIR: ttyUSB0 means /dev/ttyUSB0. The by-id names\n"
    "             stay the same whichever USB socket the adapter is plugged into\n"
    "  --dev DIR  where the devices are (default /dev)\n"
    "exit status: 0 done, 1 the link or unlink was refused or failed, 2 bad usage\n";

namespace {

bool TakePort(std::string_view name, Options& options, std::string& error) {
    const auto port = PortName(name);
    if (!port) {
        error = "\"" + PrintableName(name) + "\" is not a port name: use COM1, COM2, … COM256";
        return false;
    }
    options.port = *port;
    return true;
}

// Fills the command from the words after the options.
bool TakeCommand(const std::vector<std::string_view>& words, Options& options, std::string& error) {
    if (words.empty() || (words.size() == 1 && words[0] == "list")) {
        options.command = Command::List;
        return true;
    }
    if (words[0] == "link") {
        if (words.size() != 3) {
            error = "link takes a port name and a device: ecu-ports link COM1 /dev/ttyUSB0";
            return false;
        }
        options.command = Command::Link;
        options.device = words[2];
        if (options.device.empty()) {
            error = "link takes a device: an empty name is none";
            return false;
        }
        return TakePort(words[1], options, error);
    }
    if (words[0] == "unlink") {
        if (words.size() != 2) {
            error = "unlink takes one port name: ecu-ports unlink COM1";
            return false;
        }
        options.command = Command::Unlink;
        return TakePort(words[1], options, error);
    }
    error = words[0] == "list"
                ? "list takes no arguments"
                : "unknown command \"" + PrintableName(words[0]) + "\": use list, link or unlink";
    return false;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    using Kind = cmdline::Arg::Kind;
    Options options;
    std::vector<std::string_view> words;
    cmdline::Scanner args(argc, argv, {"--dev"});
    for (auto arg = args.Next(); arg.kind != Kind::End; arg = args.Next()) {
        switch (arg.kind) {
        case Kind::Help:
            options.help = true;
            return options;
        case Kind::Option:
            if (arg.value.empty()) {
                error = cmdline::Refusal(arg, "a folder");
                return std::nullopt;
            }
            options.devRoot = arg.value;
            break;
        case Kind::Positional:
            words.push_back(arg.value);
            break;
        default: // missing value, unknown option
            error = cmdline::Refusal(arg, "a folder");
            return std::nullopt;
        }
    }
    if (!TakeCommand(words, options, error))
        return std::nullopt;
    return options;
}

std::string DevicePath(const std::string& device, const std::string& devRoot) {
    namespace fs = std::filesystem;
    if (device.empty() || device.front() == '/')
        return device;
    if (device.find('/') == std::string::npos)
        return (fs::path(devRoot) / device).string();
    // A relative link target would be read from the map's folder, not from here.
    return fs::absolute(device).lexically_normal().string();
}

} // namespace ecu::ports
