#pragma once
// Cutting a recording into records: one poll cycle (echo + answer) of a fixed size each.
// The file has no markers, so the size follows from the engine variant alone.
#include "wire/EngineVariant.h"
#include "wire/Frames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ecu {

inline constexpr std::size_t kSohcRecordSize = 68;
inline constexpr std::size_t kDohcRecordSize = 72;

// Record size for the engine variant. With no variant selected there is no record
// size: 0, and a recording then holds no playable record.
std::size_t RecordSize(EngineVariant variant) noexcept;

// How a recording of fileSize bytes divides into records of the variant.
struct RecordSplit {
    std::size_t recordSize = 0;
    std::uint64_t records = 0;  // complete records
    std::uint64_t trailing = 0; // bytes after the last complete record (never decoded)
};
RecordSplit SplitRecords(std::uint64_t fileSize, EngineVariant variant) noexcept;

// Cuts a byte stream that arrives in pieces of any length into complete records, copying
// only the records that straddle two pieces. A record size of 0 yields no record.
class RecordCutter {
public:
    explicit RecordCutter(std::size_t recordSize) : size_(recordSize) {}

    // Calls onRecord(std::span<const std::uint8_t>) for each record completed by bytes.
    template <class OnRecord> void Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord);

    // Bytes received after the last complete record.
    std::size_t Pending() const noexcept { return pending_.size(); }
    std::uint64_t Records() const noexcept { return records_; }

private:
    std::size_t size_;
    std::uint64_t records_ = 0;
    std::vector<std::uint8_t> pending_;
};

// Which variant a recording was most probably made with: the one under whose record size
// more complete records begin with the echoed data request F4 56 01. Feed it the whole
// stream in order; a tie, an empty stream included, picks SOHC.
class VariantGuess {
public:
    void Feed(std::span<const std::uint8_t> bytes);

    std::uint64_t SohcMatches() const noexcept { return sohcMatches_; }
    std::uint64_t DohcMatches() const noexcept { return dohcMatches_; }
    EngineVariant Variant() const noexcept;

private:
    RecordCutter sohc_{kSohcRecordSize};
    RecordCutter dohc_{kDohcRecordSize};
    std::uint64_t sohcMatches_ = 0;
    std::uint64_t dohcMatches_ = 0;
};

// True when a record begins with the echo of the data request.
bool StartsWithDataRequest(std::span<const std::uint8_t> record) noexcept;

// Cuts records of the fixed size like RecordCutter, but a damaged cycle (an answer cut
// short, a stray byte) does not shift every record after it. Each record normally ends
// where the next echoed request (F4 56) begins. When the fixed size does not land on one,
// the bytes up to the next echo of the data request (F4 56 01 B5) are one damaged record:
// skipped and counted, and cutting goes on from that echo. With no such echo within
// kResyncReach bytes past the record, the fixed size stands, as it always did. A stream
// whose records all follow one another whole gives exactly RecordCutter's records.
//
// Pull form: Push bytes as they come, take records with Next until it has none, Push
// more; End once the stream has ended, then Next for the records held back.
class RecordResync {
public:
    static constexpr std::size_t kResyncReach = 4096;

    explicit RecordResync(std::size_t recordSize) : size_(recordSize) {}

    void Push(std::span<const std::uint8_t> bytes);
    void End() noexcept { ended_ = true; }
    bool Ended() const noexcept { return ended_; }
    // The next whole record, valid until the next Push; empty when more bytes are needed,
    // or after End when none is left. Skips damaged records on the way.
    std::span<const std::uint8_t> Next();

    // Push and take every record that can be cut now: onRecord(record, index) with the
    // record's index among all cycles of the stream, damaged ones included.
    template <class OnRecord> void Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord);
    // End of the stream: the records held back for a look past their end.
    template <class OnRecord> void Finish(OnRecord&& onRecord);

    std::uint64_t Records() const noexcept { return records_; }
    std::uint64_t Damaged() const noexcept { return damaged_; }
    // Index of the record Next returned last among all cycles, damaged ones included.
    std::uint64_t LastIndex() const noexcept { return records_ + damaged_ - 1; }
    // Bytes taken by the records returned and skipped so far.
    std::uint64_t Consumed() const noexcept { return consumed_; }
    // Bytes not cut into a record; after End and the last Next, the trailing partial record.
    std::size_t Pending() const noexcept { return buffer_.size() - at_; }

private:
    enum class Cut { Record, Damaged, NeedMore };
    Cut Decide(const std::uint8_t* p, std::size_t have, std::size_t& length);
    // Cuts the next record from p[off, have), skipping damaged ones; false when more bytes
    // are needed. Moves off past what was cut or skipped.
    bool CutIn(const std::uint8_t* p, std::size_t have, std::size_t& off,
               std::span<const std::uint8_t>& record);

    std::size_t size_;
    bool ended_ = false;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0; // start of the next record in buffer_
    // How far past the start of the undecided record the search for the echo has got: no
    // echo begins before it. Bytes arriving a piece at a time, and a stretch without an
    // echo that the reach slides over, are then searched once.
    std::size_t searched_ = 0;
    std::uint64_t records_ = 0;
    std::uint64_t damaged_ = 0;
    std::uint64_t consumed_ = 0;
};

template <class OnRecord>
void RecordResync::Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord) {
    if (size_ == 0)
        return;
    std::span<const std::uint8_t> record;
    while (!bytes.empty()) {
        if (at_ == buffer_.size()) {
            // Nothing held back: cut straight from the piece, keep only its unfinished end.
            std::size_t off = 0;
            while (CutIn(bytes.data(), bytes.size(), off, record))
                onRecord(record, LastIndex());
            buffer_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(off), bytes.end());
            at_ = 0;
            return;
        }
        // Bytes held back: add as many as deciding them can need, then go on in place
        // from whatever of those is left undecided.
        const std::size_t take = std::min(bytes.size(), size_ + kResyncReach + EchoLength);
        Push(bytes.first(take));
        for (record = Next(); !record.empty(); record = Next())
            onRecord(record, LastIndex());
        const std::size_t left = Pending();
        if (left <= take && take < bytes.size()) {
            bytes = bytes.subspan(take - left);
            buffer_.clear();
            at_ = 0;
        } else {
            bytes = bytes.subspan(take);
        }
    }
}

template <class OnRecord> void RecordResync::Finish(OnRecord&& onRecord) {
    End();
    for (auto record = Next(); !record.empty(); record = Next())
        onRecord(record, LastIndex());
}

template <class OnRecord>
void RecordCutter::Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord) {
    if (size_ == 0) {
        return;
    }
    if (!pending_.empty()) {
        const std::size_t take = std::min(size_ - pending_.size(), bytes.size());
        const auto head = bytes.first(take);
        pending_.insert(pending_.end(), head.begin(), head.end());
        bytes = bytes.subspan(take);
        if (pending_.size() < size_) {
            return;
        }
        ++records_;
        onRecord(std::span<const std::uint8_t>(pending_));
        pending_.clear();
    }
    while (bytes.size() >= size_) {
        ++records_;
        onRecord(bytes.first(size_));
        bytes = bytes.subspan(size_);
    }
    pending_.assign(bytes.begin(), bytes.end());
}

} // namespace ecu
