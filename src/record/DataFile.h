#pragma once
// The one slot for the recording or playback file. What is written goes to the
// operating system before the call returns: a recording is on disk up to its last
// byte, nothing is buffered in the program.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ecu {

// A failed file operation; the text names the file and gives the operating
// system's reason.
class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A write that stopped short: Written() bytes of the block reached the file.
class DataFileWriteError : public DataFileError {
public:
    DataFileWriteError(const std::string& text, std::size_t written)
        : DataFileError(text), written_(written) {}
    std::size_t Written() const { return written_; }

private:
    std::size_t written_;
};

class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Creates (or empties) path for writing. The new file is opened before the
    // slot's file is let go, so a failure leaves the slot as it was. A pipe or a
    // socket is refused: writing to it could block.
    void Create(const std::string& path);
    // Opens an existing regular file for reading at its beginning; same swap rule.
    // Anything else (a folder, a pipe, a device) is refused without blocking.
    void OpenRead(const std::string& path);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // Hands the whole block to the system, completing partial writes. Throws
    // DataFileWriteError at the first byte that did not fit (also when the slot
    // is empty); the bytes before it are in the file.
    void Write(const std::uint8_t* bytes, std::size_t count);
    void WriteByte(std::uint8_t byte) { Write(&byte, 1); }
    // Throws DataFileError at the end of the file or on failure.
    std::uint8_t ReadByte();
    // Reads up to count bytes into bytes, completing partial reads: fewer only at the end
    // of the file, 0 there. Throws DataFileError on failure.
    std::size_t Read(std::uint8_t* bytes, std::size_t count);
    std::int64_t Size() const;
    void Seek(std::int64_t position);
    // A regular file, which can be cut; a device (/dev/null) cannot.
    bool IsRegular() const;
    // Cuts the file to size bytes and goes on writing there.
    void Truncate(std::int64_t size);
    std::int64_t Position() const;
    bool AtEnd() const { return Position() >= Size(); }

private:
    void Take(int fd, const std::string& path);
    int Fd() const;

    int fd_ = -1;
    std::string path_;
};

} // namespace ecu
