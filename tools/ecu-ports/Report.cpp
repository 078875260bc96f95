#include "Report.h"

#include "serial/PortMap.h"

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
        return ": not a serial device" + (access.fix.empty() ? "" : " (" + access.fix + ")");
    case Access::State::Missing:
        break;
    }
    return std::string(": ") + missing;
}

// The simulators on the name: those running, and those that had ended and were put right.
std::string ClaimLines(const PortEntry& entry) {
    std::string text;
    for (const Released& r : entry.settled)
        text += "\n      " + ReleasedText(r);
    for (const PortClaim& c : entry.claims) {
        const std::string pid = c.id.substr(0, c.id.find('-'));
        if (c.alive)
            text += "\n      ecu-sim (process " + pid + ") serves it on " + PrintableName(c.line) +
                    (c.replaced ? " and puts back " + PrintableName(*c.replaced) + " when it ends"
                                : std::string());
        else
            text +=
                "\n      stale: " + PrintableName(c.line) +
                " was the line of a simulator that has ended" +
                (c.replaced ? "; it had replaced " + PrintableName(*c.replaced) : std::string()) +
                "; cannot put it right: " + entry.settleError;
    }
    if (entry.closedPty)
        text += "\n      a pseudo-terminal that has closed: if a simulator linked it, it has ended "
                "and the link is stale (ecu-ports unlink " +
                PrintableName(entry.name) + " removes it)";
    return text;
}

} // namespace

std::string PortLine(const PortEntry& entry) {
    const std::string name = PrintableName(entry.name);
    if (!entry.problem.empty())
        return "  " + name + ": " + entry.problem + "; until then the scanner refuses " + name;
    if (!entry.portName)
        return "  \"" + name + "\" -> " + PrintableName(entry.device) +
               ": not a port name, no program uses it (port names are COM1 … COM256)";
    std::string line = "  " + name;
    if (entry.linked)
        line += " -> " + PrintableName(entry.device);
    else
        line += ": not linked, means the built-in port " + entry.device;
    if (entry.console)
        return line + ", the system console: the scanner will not use it" + ClaimLines(entry);
    return line +
           AccessText(entry.access,
                      entry.linked ? "not there (adapter unplugged?)" : "not on this machine") +
           ClaimLines(entry);
}

std::string ListingText(const std::vector<Device>& devices, const std::vector<PortEntry>& ports,
                        const std::string& mapFolder, const std::string& mapProblem) {
    std::string text = "Serial devices:\n";
    for (const Device& d : devices) {
        text += "  " + PrintableName(d.path);
        if (!d.target.empty())
            text += " -> " + PrintableName(d.target);
        text += AccessText(d.access, "leads nowhere (adapter unplugged?)") + "\n";
    }
    if (devices.empty())
        text += "  none found: plug the adapter in; it shows up as ttyUSB* or ttyACM*\n";

    text += "\nPort map " + PrintableName(mapFolder);
    if (!mapProblem.empty())
        return text + " cannot be read: " + mapProblem +
               "\n  until it can, the scanner refuses COM1, COM2 and every other name\n";
    text += ":\n";
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
        text += "\nTo use " + PrintableName(present->path) + " as COM1: ecu-ports link COM1 " +
                PrintableName(present->path) + "\n";
    return text;
}

} // namespace ecu::ports
