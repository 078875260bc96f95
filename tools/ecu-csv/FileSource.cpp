#include "FileSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ecu::csvtool {

IoError::IoError(const std::string& name, int error)
    : std::runtime_error(name + ": " + std::strerror(error)) {}

FileSource::FileSource(const std::string& path) {
    if (path == "-") {
        name_ = "standard input";
        fd_ = STDIN_FILENO;
    } else {
        name_ = path;
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            throw IoError(name_, errno);
        }
        owned_ = true;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int error = errno;
        if (owned_) {
            ::close(fd_);
        }
        throw IoError(name_, error);
    }
    // A directory opens fine; refuse it here so the message names the file, not a read.
    if (S_ISDIR(st.st_mode)) {
        if (owned_) {
            ::close(fd_);
        }
        throw IoError(name_, EISDIR);
    }
    rewindable_ = S_ISREG(st.st_mode);
}

FileSource::~FileSource() {
    if (owned_) {
        ::close(fd_);
    }
}

void FileSource::Rewind() {
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        throw IoError(name_, errno);
    }
}

std::size_t FileSource::Read(std::span<std::uint8_t> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t n = ::read(fd_, buffer.data() + filled, buffer.size() - filled);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError(name_, errno);
        }
        if (n == 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    return filled;
}

void Sink::Write(const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError(name_, errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace ecu::csvtool
