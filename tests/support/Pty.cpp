#include "Pty.h"

#include <chrono>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ecu::test {

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        throw std::runtime_error("ptsname_r failed");
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Held open for reading the settings back, and so that the pair lives on
    // between the component's opens.
    heldSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (heldSlave_ < 0)
        throw std::runtime_error("cannot open the pseudo-terminal's slave");
}

Pty::~Pty() {
    CloseMaster();
    if (heldSlave_ >= 0)
        ::close(heldSlave_);
}

void Pty::CloseMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

bool WaitFd(int fd, short events, Clock::time_point deadline) {
    pollfd p{fd, events, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ::poll(&p, 1, left < 0 ? 0 : static_cast<int>(left)) > 0 && (p.revents & events);
}

} // namespace

bool Pty::Write(const void* data, std::size_t size, int timeoutMs) {
    const auto deadline = Deadline(timeoutMs);
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(master_, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        const bool retry = n == 0 || errno == EAGAIN || errno == EINTR;
        if (!retry || !WaitFd(master_, POLLOUT, deadline))
            return false;
    }
    return true;
}

std::string Pty::Read(std::size_t size, int timeoutMs) {
    const auto deadline = Deadline(timeoutMs);
    std::string out;
    char buf[65536];
    while (out.size() < size) {
        if (!WaitFd(master_, POLLIN, deadline))
            break;
        const ssize_t n = ::read(master_, buf, std::min(sizeof buf, size - out.size()));
        if (n > 0)
            out.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return out;
}

std::string Pty::ReadOnce(int timeoutMs) {
    const auto deadline = Deadline(timeoutMs);
    char buf[65536];
    if (!WaitFd(master_, POLLIN, deadline))
        return {};
    const ssize_t n = ::read(master_, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

struct termios2 Pty::SlaveSettings() const {
    struct termios2 t {};
    if (::ioctl(heldSlave_, TCGETS2, &t) != 0)
        throw std::runtime_error("TCGETS2 failed");
    return t;
}

} // namespace ecu::test
