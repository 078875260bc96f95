#pragma once
// The system's active consoles. On many machines the first built-in serial port
// is the kernel's console: the scanner must never reconfigure it or send frames
// into it, so a port that is a console is refused before it is even opened.
#include <string>
#include <sys/types.h>

namespace ecu {

// Where the system lists its consoles; tests give lists of their own.
struct ConsoleLists {
    // Names of the active consoles under /dev, separated by blanks: "tty0 ttyS0".
    std::string active = "/sys/class/tty/console/active";
    // One console a line, its device number last: "ttyS0  -W- (EC p a)    4:64".
    std::string consoles = "/proc/consoles";
};

// True when the character device with this number is on either list. A list
// that cannot be read names no console.
bool IsActiveConsole(dev_t device, const ConsoleLists& lists);

} // namespace ecu
