#pragma once
// Port names as the user knows them ("COM1", "COM2") mapped to device paths.
#include <string>

namespace ecu {

// Folder of the per-user port map: $XDG_CONFIG_HOME/ecuscan/ports, or
// ~/.config/ecuscan/ports when XDG_CONFIG_HOME is unset or empty.
std::string PortMapDirectory();

// "COMn" resolves through a symbolic link of that name in the port map; without
// a link it maps to /dev/ttyS(n-1). A name starting with '/' is used as it is.
std::string ResolvePortName(const std::string& name);

} // namespace ecu
