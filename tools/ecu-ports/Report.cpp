#include "Report.h"

#include <algorithm>

namespace ecu::ports {

namespace {

// ": you may open it", or why not and what to do, the advice on a line of its own.
std::string AccessText(const Access& access, const char* missing) {
    switch (access.state) {
    case Access::State::Allowed:
        return ": you may open it";
    case Access::State::Denied:
        return ": you may not open it\n      to fix: " + access.fix;
    case Access::State::NotADevice:
        return ": not a serial device";
    case Access::State::Missing:
        break;
    }
    return std::string(": ") + missing;
}

} // namespace

std::string PortLine(const PortEntry& entry) {
    std::string line = "  " + entry.name;
    if (entry.linked)
        line += " -> " + entry.device;
    else
        line += ": not linked, means the built-in port " + entry.device;
    if (entry.console)
        return line + ", the system console: the scanner will not use it";
    return line + AccessText(entry.access, entry.linked ? "not there (adapter unplugged?)"
                                                        : "not on this machine");
}

std::string ListingText(const std::vector<Device>& devices, const std::vector<PortEntry>& ports,
                        const std::string& mapFolder) {
    std::string text = "Serial devices:\n";
    for (const Device& d : devices) {
        text += "  " + d.path;
        if (!d.target.empty())
            text += " -> " + d.target;
        text += AccessText(d.access, "leads nowhere (adapter unplugged?)") + "\n";
    }
    if (devices.empty())
        text += "  none found: plug the adapter in; it shows up as ttyUSB* or ttyACM*\n";

    text += "\nPort map " + mapFolder + ":\n";
    for (const PortEntry& p : ports)
        text += PortLine(p) + "\n";

    const auto com1 = std::find_if(ports.begin(), ports.end(),
                                   [](const PortEntry& p) { return p.name == "COM1"; });
    const bool com1Works = com1 != ports.end() && com1->linked && !com1->console &&
                           com1->access.state != Access::State::Missing &&
                           com1->access.state != Access::State::NotADevice;
    // by-id names come first, and they survive plugging the adapter into another socket.
    const auto present = std::find_if(devices.begin(), devices.end(), [](const Device& d) {
        return d.access.state == Access::State::Allowed || d.access.state == Access::State::Denied;
    });
    if (!com1Works && present != devices.end())
        text +=
            "\nTo use " + present->path + " as COM1: ecu-ports link COM1 " + present->path + "\n";
    return text;
}

} // namespace ecu::ports
