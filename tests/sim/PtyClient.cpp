#include "PtyClient.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace ecu::test {

using Clock = std::chrono::steady_clock;

PtyClient::PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "open " + path);
    termios t{};
    if (tcgetattr(fd_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
}

PtyClient::~PtyClient() {
    if (fd_ >= 0)
        ::close(fd_);
}

void PtyClient::Write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            throw std::system_error(errno, std::generic_category(), "write");
        }
    }
}

Bytes PtyClient::ReadCount(std::size_t count, std::chrono::milliseconds timeout) {
    Bytes got;
    const auto end = Clock::now() + timeout;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t buf[512];
        const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
    }
    return got;
}

Bytes PtyClient::ReadUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
    Bytes got;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            break;
        std::uint8_t buf[512];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
        else if (n == 0 || errno != EAGAIN)
            break;
    }
    return got;
}

Bytes PtyClient::Exchange(const Bytes& request, std::chrono::milliseconds quiet) {
    Write(request);
    return ReadUntilQuiet(quiet);
}

} // namespace ecu::test
