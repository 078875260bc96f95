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

// Why a file of this type cannot take the slot, or 0 when it can. A pipe cannot
// be positioned; a folder or a device holds no recording.
int RefusalFor(mode_t mode, bool reading) {
    if (S_ISREG(mode))
        return 0;
    if (S_ISDIR(mode))
        return EISDIR;
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return ESPIPE;
    return reading ? ENODEV : 0;
}

// Opened without blocking (a pipe with no writer would hang in open), checked,
// then switched back to blocking use.
int OpenOrThrow(const std::string& path, int flags, bool reading) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        Fail(path, errno);
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : RefusalFor(st.st_mode, reading);
    if (err == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        err = errno;
    if (err != 0) {
        ::close(fd);
        Fail(path, err);
    }
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
    Take(OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC, false), path);
}

void DataFile::OpenRead(const std::string& path) {
    Take(OpenOrThrow(path, O_RDONLY, true), path);
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

void DataFile::Write(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0)
        return;
    if (fd_ < 0)
        throw DataFileWriteError(std::strerror(EBADF), 0);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A partial write ends where the space did; the next one says why.
        const int err = n < 0 ? errno : EIO;
        throw DataFileWriteError(path_ + ": " + std::strerror(err), done);
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

std::size_t DataFile::Read(std::uint8_t* bytes, std::size_t count) {
    const int fd = Fd();
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0)
            break;
        if (errno != EINTR)
            Fail(path_, errno);
    }
    return done;
}

std::int64_t DataFile::Size() const {
    struct stat st {};
    if (::fstat(Fd(), &st) != 0)
        Fail(path_, errno);
    return st.st_size;
}

bool DataFile::IsRegular() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

void DataFile::Truncate(std::int64_t size) {
    int rc = 0;
    do {
        rc = ::ftruncate(Fd(), size);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        Fail(path_, errno);
    Seek(size);
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
