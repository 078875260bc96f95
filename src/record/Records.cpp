#include "record/Records.h"

#include "wire/Frames.h"

namespace ecu {

std::size_t RecordSize(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return kSohcRecordSize;
    case EngineVariant::Dohc:
        return kDohcRecordSize;
    default:
        return 0;
    }
}

RecordSplit SplitRecords(std::uint64_t fileSize, EngineVariant variant) noexcept {
    RecordSplit split;
    split.recordSize = RecordSize(variant);
    if (split.recordSize == 0) {
        split.trailing = fileSize;
        return split;
    }
    split.records = fileSize / split.recordSize;
    split.trailing = fileSize % split.recordSize;
    return split;
}

bool StartsWithDataRequest(std::span<const std::uint8_t> record) noexcept {
    // Device, length and mode: the checksum byte adds nothing to tell them apart.
    constexpr std::size_t head = ModeOffset + 1;
    return record.size() >= head &&
           std::equal(DataRequest.begin(), DataRequest.begin() + head, record.begin());
}

void VariantGuess::Feed(std::span<const std::uint8_t> bytes) {
    sohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        sohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
    dohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        dohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
}

EngineVariant VariantGuess::Variant() const noexcept {
    return dohcMatches_ > sohcMatches_ ? EngineVariant::Dohc : EngineVariant::Sohc;
}

void RecordResync::Push(std::span<const std::uint8_t> bytes) {
    if (size_ == 0)
        return;
    // Drop what was cut before growing: the buffer holds at most one piece, a record and
    // the reach past it.
    if (at_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
        at_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

RecordResync::Cut RecordResync::Decide(const std::uint8_t* p, std::size_t have,
                                       std::size_t& length) {
    if (have < size_)
        return Cut::NeedMore;
    // Does the fixed size land on the next echoed request? The mode byte is left out:
    // the file may hold other requests' cycles, and they are records like any other.
    const std::size_t after = have - size_;
    constexpr std::size_t lead = ModeOffset; // device and length bytes
    if (after >= lead) {
        if (std::equal(DataRequest.begin(), DataRequest.begin() + lead, p + size_)) {
            length = size_;
            return Cut::Record;
        }
    } else if (!ended_) {
        return Cut::NeedMore;
    } else if (std::equal(p + size_, p + have, DataRequest.begin())) {
        length = size_; // the stream ends on the record or inside the next echo
        return Cut::Record;
    }
    // It does not: look for the data request's echo, from just past this record's start.
    const std::size_t last = std::min(have, size_ + kResyncReach + EchoLength);
    const std::size_t from = std::min(std::max<std::size_t>(1, searched_), last);
    const auto* const found =
        std::search(p + from, p + last, DataRequest.begin(), DataRequest.end());
    if (found != p + last) {
        length = static_cast<std::size_t>(found - p);
        return Cut::Damaged;
    }
    // None begins before the last few bytes, which may hold the start of one.
    searched_ = std::max(searched_, last > EchoLength ? last - (EchoLength - 1) : 0);
    if (!ended_ && last < size_ + kResyncReach + EchoLength)
        return Cut::NeedMore;
    length = size_; // no echo within reach: the fixed size stands
    return Cut::Record;
}

bool RecordResync::CutIn(const std::uint8_t* p, std::size_t have, std::size_t& off,
                         std::span<const std::uint8_t>& record) {
    for (;;) {
        std::size_t length = 0;
        const Cut cut = Decide(p + off, have - off, length);
        if (cut == Cut::NeedMore)
            return false;
        record = std::span<const std::uint8_t>(p + off, length);
        off += length;
        consumed_ += length;
        // What was searched past the cut holds no echo for the next record either.
        searched_ = searched_ > length ? searched_ - length : 0;
        if (cut == Cut::Record) {
            ++records_;
            return true;
        }
        ++damaged_;
    }
}

std::span<const std::uint8_t> RecordResync::Next() {
    std::span<const std::uint8_t> record;
    if (size_ == 0 || !CutIn(buffer_.data(), buffer_.size(), at_, record))
        return {};
    return record;
}

} // namespace ecu
