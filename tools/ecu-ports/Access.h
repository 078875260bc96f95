#pragma once
// Whether this user may open a serial device, found out without opening it, and what to do
// when not.
#include <string>
#include <sys/types.h>
#include <vector>

namespace ecu::ports {

// The user asking, as this login session knows them.
struct Identity {
    uid_t uid = 0;
    gid_t primaryGid = 0;      // from the password database
    std::string user;          // empty when the uid has no name
    std::vector<gid_t> groups; // effective and supplementary groups of this session

    static Identity Current();
};

// Who owns a device and how it may be opened.
struct DeviceOwner {
    mode_t mode = 0;
    std::string ownerName;
    gid_t gid = 0;
    std::string groupName;   // its number when it has no name
    bool userListed = false; // the user is a member in the group database
    uid_t uid = 0;
    bool groupNamed = true; // the group database knows the group's name
};

struct Access {
    enum class State {
        Missing,    // nothing there (an unplugged adapter's name, a link to nowhere)
        NotADevice, // there, but not a serial device (a file, /dev/null, a console)
        Allowed,
        Denied,
    };
    State state = State::Missing;
    std::string fix; // Denied: what lets this user open it; NotADevice: what it is instead
};

// Whether the character device `rdev` is a serial line a scanner can use: a tty of the
// kernel's tty class (a serial port, a USB adapter) or a pseudo-terminal's far side, but
// not /dev/tty, /dev/console, /dev/ptmx or a virtual console. `what` says what it is
// otherwise. `sysRoot` stands for /sys.
bool IsSerialDevice(dev_t rdev, std::string& what, const std::string& sysRoot = "/sys");

// Asks the kernel (faccessat with the effective ids, so root and access lists count) whether
// `path` may be opened for reading and writing. Never opens it: opening a tty can reset the
// line or, for the system console, disturb it.
Access CheckAccess(const std::string& path);

// The advice for a device this user may not open.
std::string AccessFix(const DeviceOwner& owner, const Identity& who);

// "crw-rw----" for a character device with mode 0660.
std::string ModeText(mode_t mode);

} // namespace ecu::ports
