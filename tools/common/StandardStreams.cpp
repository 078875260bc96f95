#include "common/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ecu::cmdline {

bool OpenClosedStandardStreams() noexcept {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is `fd` itself, as every lower one is open by now.
        const int null = ::open("/dev/null", O_RDWR);
        if (null < 0)
            return false;
        if (null != fd) {
            const bool moved = ::dup2(null, fd) == fd;
            ::close(null);
            if (!moved)
                return false;
        }
    }
    return true;
}

} // namespace ecu::cmdline
