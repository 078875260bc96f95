#pragma once
// Port names as the user knows them ("COM1", "COM2") mapped to device paths.
#include <string>

namespace ecu {

// Folder of the per-user port map: $XDG_CONFIG_HOME/ecuscan/ports, or
// ~/.config/ecuscan/ports when XDG_CONFIG_HOME is unset or empty.
std::string PortMapDirectory();

// Device path of the built-in ports: "COMn" without a link is this prefix and n-1.
inline constexpr const char* BuiltinPortPrefix = "/dev/ttyS";

// "COMn" resolves through a symbolic link of that name in the port map; without
// a link it maps to the built-in port n-1. A name starting with '/' is used as it is.
std::string ResolvePortName(const std::string& name);

// Points the map entry `link` at `target` in one step: a link built aside (its name
// carries `owner` and the process id) is renamed over it, so the name never leads
// nowhere while it changes hands. Throws std::filesystem::filesystem_error.
void SwapPortLink(const std::string& link, const std::string& target, const std::string& owner);

} // namespace ecu
