#pragma once
// Arguments of the ecu-sim command.
#include "ecu-sim/SimOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ecu {

struct SimCommand {
    SimOptions options;
    std::string portName; // --as: port-map name linked to the line while running
    bool replace = false; // --replace: take portName over when it is linked already
    std::string logPath;  // --log
    std::string device;   // --device: a terminal to use instead of a fresh pty
    std::optional<std::pair<std::uint8_t, std::uint8_t>> faultBytes;
    bool help = false;
};

// Fills `command` from the arguments (without the program name). Returns an error message,
// empty when all arguments were understood.
std::string ParseSimCommand(const std::vector<std::string>& args, SimCommand& command);

extern const char* const kSimUsage;

} // namespace ecu
