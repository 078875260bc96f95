#pragma once
// Reads the input of ecu-csv in large blocks; "-" is standard input.
#include "ui/CsvExport.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace ecu::csvtool {

// A failed system call, its text "name: operating system's text".
class IoError : public std::runtime_error {
public:
    IoError(const std::string& name, int error);
};

class FileSource {
public:
    explicit FileSource(const std::string& path); // throws IoError
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    const std::string& Name() const noexcept { return name_; }
    // True when the input can be read a second time (a regular file).
    bool Rewindable() const noexcept { return rewindable_; }
    void Rewind(); // throws IoError

    // Fills as much of buffer as the input gives; 0 at its end. Throws IoError.
    std::size_t Read(std::span<std::uint8_t> buffer);

private:
    std::string name_;
    int fd_ = -1;
    bool owned_ = false;
    bool rewindable_ = false;
};

// Writes text to a file descriptor, reporting any failure (a full disk, a closed pipe).
class Sink : public CsvSink {
public:
    explicit Sink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    void Write(const std::string& text) override; // throws IoError

private:
    int fd_;
    std::string name_;
};

} // namespace ecu::csvtool
