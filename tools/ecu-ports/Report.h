#pragma once
// What ecu-ports tells the user, as text.
#include "Devices.h"
#include "PortMapEdit.h"

#include <string>
#include <vector>

namespace ecu::ports {

// The device list, the port map (or why it cannot be read) and, when an adapter is there but
// COM1 does not lead to a device, the command that links it. Names are escaped, so that none
// can fake a line.
std::string ListingText(const std::vector<Device>& devices, const std::vector<PortEntry>& ports,
                        const std::string& mapFolder, const std::string& mapProblem = {});

// One line saying where a port name leads and whether it can be opened.
std::string PortLine(const PortEntry& entry);

} // namespace ecu::ports
