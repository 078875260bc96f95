#include "record/RecordIndex.h"

#include <algorithm>

namespace ecu {

void RecordIndex::Feed(std::span<const std::uint8_t> bytes) {
    // The cutter has counted the record as settled when it hands it on.
    cutter_.Feed(bytes, [this](const Record& record) {
        records_.push_back({cutter_.Consumed() - record.length, record.length});
    });
}

void RecordIndex::Finish() {
    cutter_.Finish([this](const Record& record) {
        records_.push_back({cutter_.Consumed() - record.length, record.length});
    });
    records_.shrink_to_fit();
}

std::size_t RecordIndex::ReadLength(std::size_t i) const {
    return static_cast<std::size_t>(std::min<std::uint64_t>(At(i).length, RecordCutter::kKeep));
}

std::uint64_t RecordIndex::ProgressAfter(std::size_t i) const {
    const IndexedRecord& record = At(i);
    return size_ == 0 ? 0 : (record.offset + record.length) / size_;
}

std::size_t RecordIndex::RecordAtProgress(std::uint64_t value) const {
    const auto found = std::partition_point(
        records_.begin(), records_.end(), [this, value](const IndexedRecord& record) {
            return (record.offset + record.length) / size_ < value;
        });
    if (found == records_.end())
        return records_.empty() ? 0 : records_.size() - 1;
    return static_cast<std::size_t>(found - records_.begin());
}

} // namespace ecu
