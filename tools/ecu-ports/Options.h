#pragma once
// Command line of ecu-ports.
#include <optional>
#include <string>

namespace ecu::ports {

enum class Command { List, Link, Unlink };

struct Options {
    Command command = Command::List;
    std::string port;   // Link, Unlink: the port name as the map names it ("COM1")
    std::string device; // Link: as given
    std::string devRoot = "/dev";
    bool help = false;
};

extern const char* const kUsage;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // the edit was refused or failed
inline constexpr int kExitUsage = 2;

// Nothing on bad usage; `error` then says what is wrong.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

// The absolute path `device` names: a bare name ("ttyUSB0") is taken under `devRoot`, any
// other relative path from the current folder.
std::string DevicePath(const std::string& device, const std::string& devRoot);

} // namespace ecu::ports
