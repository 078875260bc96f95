#include "ecu-sim/SimTty.h"

// termios2 comes from the kernel headers, which clash with <termios.h>: this file uses only them.
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace ecu {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Raw 8N1 at any rate, so nothing is echoed, translated or held back by the line discipline.
void MakeRaw(int fd, int baud, const std::string& what) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        Fail(what + ": not a terminal");
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(baud);
    t.c_ospeed = static_cast<speed_t>(baud);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &t) != 0)
        Fail(what + ": cannot set raw mode");
}

} // namespace

SimLine OpenSimPty(int baud) {
    SimLine line;
    line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.fd < 0)
        Fail("posix_openpt");
    char name[128];
    if (grantpt(line.fd) != 0 || unlockpt(line.fd) != 0 ||
        ptsname_r(line.fd, name, sizeof name) != 0) {
        const int err = errno;
        CloseSimLine(line);
        throw std::system_error(err, std::generic_category(), "pseudo-terminal setup");
    }
    line.path = name;
    line.holdFd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.holdFd < 0) {
        const int err = errno;
        CloseSimLine(line);
        throw std::system_error(err, std::generic_category(), "open " + line.path);
    }
    try {
        MakeRaw(line.holdFd, baud, line.path);
    } catch (...) {
        CloseSimLine(line);
        throw;
    }
    return line;
}

SimLine OpenSimDevice(const std::string& path, int baud) {
    SimLine line;
    line.path = path;
    line.fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.fd < 0)
        Fail("open " + path);
    try {
        MakeRaw(line.fd, baud, path);
    } catch (...) {
        CloseSimLine(line);
        throw;
    }
    return line;
}

unsigned LineRate(const SimLine& line) {
    // Both ends of a pty share the slave's settings; any rate, standard or not, is in c_ospeed.
    termios2 t{};
    const int fd = line.holdFd >= 0 ? line.holdFd : line.fd;
    if (fd < 0 || ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

void CloseSimLine(SimLine& line) {
    if (line.holdFd >= 0)
        close(line.holdFd);
    if (line.fd >= 0) {
        // Unsent output must not keep close waiting.
        ioctl(line.fd, TCFLSH, TCIOFLUSH);
        close(line.fd);
    }
    line.holdFd = -1;
    line.fd = -1;
}

} // namespace ecu
