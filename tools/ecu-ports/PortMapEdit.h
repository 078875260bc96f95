#pragma once
// Reading and editing the port map: the per-user folder of links that say which device
// "COM1", "COM2", … lead to.
#include "Access.h"
#include "serial/Consoles.h"
#include "serial/PortClaims.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ecu::ports {

// A refused or failed edit; the message is for the user.
class PortMapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PortEntry {
    std::string name;     // COM1; for a foreign entry its name as found
    bool portName = true; // false: a link whose name no program looks up
    bool linked = false;  // through a link in the map, or else the built-in port
    std::string device;   // the link's target or the built-in port's path
    std::string problem;  // why the map cannot say where the name leads (then nothing else)
    std::vector<PortClaim> claims; // simulators holding the name now
    std::vector<Released> settled; // claims of simulators that had ended, put right now
    std::string settleError;       // why those could not be put right
    bool closedPty = false;        // leads, without a claim, to a pseudo-terminal that closed
    Access access;                 // of what opening the name reaches
    bool console = false;          // that is the system's active console, which the program refuses
};

// Why the map folder cannot be listed; empty when it can, or when it does not exist yet.
std::string MapFolderProblem();

// COM1, COM2 and every other name linked in the map, in name order, after putting right what
// simulators that ended left behind. `devRoot` stands for /dev when the built-in ports are
// checked, so that a test tree can stand in for the machine's.
std::vector<PortEntry> ListPorts(const std::string& devRoot, const ConsoleLists& consoles = {});

// Makes `port` (a PortName) lead to `device`, an absolute path that must be a serial device.
// The name changes over in one step. Returns the target it had before, if any.
std::optional<std::string> LinkPort(const std::string& port, const std::string& device);

// Removes the link of `port`; returns its old target. Refuses a name that is not linked.
std::string UnlinkPort(const std::string& port);

} // namespace ecu::ports
