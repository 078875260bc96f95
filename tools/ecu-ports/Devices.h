#pragma once
// The serial devices a mechanic's adapter can show up as.
#include "Access.h"

#include <string>
#include <vector>

namespace ecu::ports {

struct Device {
    std::string path;   // as found, e.g. /dev/ttyUSB0 or /dev/serial/by-id/usb-…
    std::string target; // for a by-id name, the device it leads to; empty otherwise
    Access access;
};

// Lists, under `devRoot` (normally /dev), serial/by-id/* first (names that stay the same
// whichever socket the adapter is in), then ttyUSB* and ttyACM*, each in number order
// (ttyUSB2 before ttyUSB10). Only names are read and access checked: nothing is opened.
std::vector<Device> ScanDevices(const std::string& devRoot);

} // namespace ecu::ports
