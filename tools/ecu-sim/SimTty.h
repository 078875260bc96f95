#pragma once
// Terminal plumbing of the simulator: a fresh pseudo-terminal, or a given device, set raw.
#include <string>

namespace ecu {

struct SimLine {
    int fd = -1;      // the simulator's side: pty master or the device
    int holdFd = -1;  // the pty's slave kept open so the master never sees a hang-up
    std::string path; // what the program opens
};

// Both throw std::system_error.
SimLine OpenSimPty(int baud);
SimLine OpenSimDevice(const std::string& path, int baud);
void CloseSimLine(SimLine& line);
// The output rate last set on the line by either side, in baud; 0 when it cannot be read.
unsigned LineRate(const SimLine& line);

} // namespace ecu
