#pragma once
// Port names as the user knows them ("COM1", "COM2") mapped to device paths.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ecu {

// Folder of the per-user port map: $XDG_CONFIG_HOME/ecuscan/ports, or
// ~/.config/ecuscan/ports when XDG_CONFIG_HOME is unset or empty.
std::string PortMapDirectory();

// Device path of the built-in ports: "COMn" without a link is this prefix and n-1.
inline constexpr const char* BuiltinPortPrefix = "/dev/ttyS";
inline constexpr int kLastPortNumber = 256;

// The one rule for port names, shared by the program and every tool: "COM" in any case
// and a number 1..256 written without sign, space or leading zero. Returns the name as the
// map spells it ("com7" -> "COM7"); nothing for anything else.
std::optional<std::string> PortName(std::string_view name);

// The number of a name PortName accepts: "COM7" -> 7.
int PortNumber(const std::string& portName);

// A name or path as text that cannot fake other output: control characters, quotes and
// backslashes are written as C escapes; other bytes (UTF-8 letters) stay as they are.
std::string PrintableName(std::string_view name);

// A port name that cannot lead to a device: not a port name, or the map cannot tell
// where it leads. The message says why, without the name itself.
class PortNameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A name starting with '/' is a device path, used as it is. A port name resolves through
// a symbolic link of that name in the port map; without one it is the built-in port n-1.
// Throws PortNameError for any other name, for a map entry that is no link, and when the
// map folder cannot be read: never falls back to a built-in port on an error.
std::string ResolvePortName(const std::string& name);

// Points the map entry `link` at `target` in one step: a link built aside (its name
// carries `owner` and the process id) is renamed over it, so the name never leads
// nowhere while it changes hands. Throws std::filesystem::filesystem_error.
void SwapPortLink(const std::string& link, const std::string& target, const std::string& owner);

} // namespace ecu
