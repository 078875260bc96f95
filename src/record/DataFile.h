#pragma once
// The one slot for the recording or playback file. Bytes go to and come from the
// operating system one at a time: a recording is on disk up to its last byte.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ecu {

// A failed file operation; the text is the operating system's.
class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Creates (or empties) path for writing. The new file is opened before the
    // slot's file is let go, so a failure leaves the slot as it was.
    void Create(const std::string& path);
    // Opens an existing file for reading at its beginning; same swap rule.
    void OpenRead(const std::string& path);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // One write(2) per byte. Throws DataFileError (also when the slot is empty).
    void WriteByte(std::uint8_t byte);
    // Throws DataFileError at the end of the file or on failure.
    std::uint8_t ReadByte();
    std::int64_t Size() const;
    void Seek(std::int64_t position);
    std::int64_t Position() const;
    bool AtEnd() const { return Position() >= Size(); }

private:
    void Take(int fd, const std::string& path);
    int Fd() const;

    int fd_ = -1;
    std::string path_;
};

} // namespace ecu
