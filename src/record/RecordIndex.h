#pragma once
// Where each whole record of a recording lies, so that playback can stand on any record
// without keeping the file's bytes: built once by the shared cutter, 16 bytes a record.
#include "record/Records.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ecu {

struct IndexedRecord {
    std::uint64_t offset = 0; // of its echo in the file
    std::uint64_t length = 0; // in the stream, up to the next echo or the end
};

class RecordIndex {
public:
    explicit RecordIndex(std::size_t recordSize) : size_(recordSize), cutter_(recordSize) {}

    void Feed(std::span<const std::uint8_t> bytes);
    void Finish();

    std::size_t RecordSize() const noexcept { return size_; }
    std::size_t Count() const noexcept { return records_.size(); }
    const IndexedRecord& At(std::size_t i) const { return records_.at(i); }
    // The bytes a record is decoded from: the cutter keeps no more than its first kKeep.
    std::size_t ReadLength(std::size_t i) const;
    const RecordCutter& Cutter() const noexcept { return cutter_; }

    // Where the progress bar stands once record i has played: the bytes settled up to its
    // end, in records of the fixed size, so that a bar of size / record size ends full.
    std::uint64_t ProgressAfter(std::size_t i) const;
    // The first record after which the bar stands at `value` or beyond; the last record
    // when none does. Count() must not be 0.
    std::size_t RecordAtProgress(std::uint64_t value) const;

private:
    std::size_t size_;
    RecordCutter cutter_;
    std::vector<IndexedRecord> records_;
};

} // namespace ecu
