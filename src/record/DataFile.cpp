#include "record/DataFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ecu {

namespace {
[[noreturn]] void Fail(const std::string& path, int err) {
    const std::string text = std::strerror(err);
    throw DataFileError(path.empty() ? text : path + ": " + text);
}

int OpenOrThrow(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        Fail(path, errno);
    return fd;
}
} // namespace

DataFile::~DataFile() {
    Close();
}

void DataFile::Take(int fd, const std::string& path) {
    Close();
    fd_ = fd;
    path_ = path;
}

void DataFile::Create(const std::string& path) {
    Take(OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC), path);
}

void DataFile::OpenRead(const std::string& path) {
    Take(OpenOrThrow(path, O_RDONLY), path);
}

void DataFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

int DataFile::Fd() const {
    if (fd_ < 0)
        Fail({}, EBADF);
    return fd_;
}

void DataFile::WriteByte(std::uint8_t byte) {
    const int fd = Fd();
    for (;;) {
        const ssize_t n = ::write(fd, &byte, 1);
        if (n == 1)
            return;
        if (n < 0 && errno == EINTR)
            continue;
        Fail(path_, n < 0 ? errno : EIO);
    }
}

std::uint8_t DataFile::ReadByte() {
    const int fd = Fd();
    std::uint8_t byte = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &byte, 1);
        if (n == 1)
            return byte;
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            throw DataFileError(path_ + ": unexpected end of file");
        Fail(path_, errno);
    }
}

std::int64_t DataFile::Size() const {
    struct stat st {};
    if (::fstat(Fd(), &st) != 0)
        Fail(path_, errno);
    return st.st_size;
}

void DataFile::Seek(std::int64_t position) {
    if (::lseek(Fd(), position, SEEK_SET) < 0)
        Fail(path_, errno);
}

std::int64_t DataFile::Position() const {
    const off_t pos = ::lseek(Fd(), 0, SEEK_CUR);
    if (pos < 0)
        Fail(path_, errno);
    return pos;
}

} // namespace ecu
