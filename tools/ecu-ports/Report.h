#pragma once
// What ecu-ports tells the user, as text.
#include "Devices.h"
#include "PortMapEdit.h"

#include <string>
#include <vector>

namespace ecu::ports {

// The device list, the port map and, when an adapter is there but COM1 does not lead to a
// device, the command that links it.
std::string ListingText(const std::vector<Device>& devices, const std::vector<PortEntry>& ports,
                        const std::string& mapFolder);

// One line saying where a port name leads and whether it can be opened.
std::string PortLine(const PortEntry& entry);

} // namespace ecu::ports
