#pragma once
// Cutting a recording into records. A record is one poll cycle as the logger or the window
// wrote it: the echoed data request F4 56 01 B5 and whatever followed up to the next such
// echo. The file has no other markers, so the echo alone tells where a cycle begins.
#include "wire/EngineVariant.h"
#include "wire/Frames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ecu {

inline constexpr std::size_t kSohcRecordSize = EchoLength + SohcAnswerLength; // 68
inline constexpr std::size_t kDohcRecordSize = EchoLength + DohcAnswerLength; // 72

// Size of a whole cycle, echo and answer, for the engine variant. With no variant selected
// there is no record size: 0, and no record is whole.
std::size_t RecordSize(EngineVariant variant) noexcept;

// One cut record. Its bytes begin with the echo; beyond kKeep bytes only its length counts.
struct Record {
    std::span<const std::uint8_t> bytes;
    std::uint64_t length = 0; // in the stream, up to the next echo or the end
    std::uint64_t index = 0;  // echoes before it: the cycle number
};

// Cuts a stream that arrives in pieces of any length at the echoes. A record at least the
// record size long holds a whole answer and is handed on; bytes after that answer (a stray
// byte, the answer of a cycle whose echo never came, line noise) stay with it. A shorter
// record (an answer cut short) is damaged: skipped and counted, its number left unused.
// Bytes before the first echo are no record. Memory stays bounded however long a stretch
// without an echo is.
class RecordCutter {
public:
    static constexpr std::size_t kKeep = 4096;

    explicit RecordCutter(std::size_t recordSize) : size_(recordSize) {}

    // Calls onRecord(const Record&) for each whole record that bytes complete.
    template <class OnRecord> void Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord);
    // The stream has ended: the last record, when it is whole.
    template <class OnRecord> void Finish(OnRecord&& onRecord);

    // The same over every record, damaged ones included: onAny(const Record&).
    template <class OnAny> void FeedAll(std::span<const std::uint8_t> bytes, OnAny&& onAny);
    template <class OnAny> void FinishAll(OnAny&& onAny);

    std::uint64_t Records() const noexcept { return records_; }
    std::uint64_t Damaged() const noexcept { return damaged_; }
    // Bytes before the first echo.
    std::uint64_t Leading() const noexcept { return leading_; }
    // Bytes that followed the answer in whole records.
    std::uint64_t Surplus() const noexcept { return surplus_; }
    // Bytes settled: the leading ones and every record handed on or skipped.
    std::uint64_t Consumed() const noexcept { return consumed_; }
    // After Finish: the length of a last record too short to be whole, 0 when none.
    std::uint64_t Trailing() const noexcept { return trailing_; }

private:
    bool Whole(std::uint64_t length) const noexcept { return size_ != 0 && length >= size_; }
    // Takes bytes up to and including the end of the next echo; true when one ended there,
    // which completes the record before it (when there is one) into done_.
    bool Scan(std::span<const std::uint8_t>& bytes);
    void Append(std::span<const std::uint8_t> bytes);
    // An echo ended the bytes appended last: the record in progress, if any, is complete.
    void EchoFound();
    // Moves the record in progress to done_ and describes it.
    const Record& Complete();
    template <class OnRecord> void Settle(const Record& record, OnRecord&& onRecord);

    std::size_t size_;
    bool started_ = false;    // an echo has been seen
    std::size_t matched_ = 0; // bytes of a possible echo at the end of what was scanned
    std::vector<std::uint8_t> current_;
    std::vector<std::uint8_t> done_;
    std::uint64_t length_ = 0; // of the record in progress
    std::uint64_t index_ = 0;  // of the record in progress
    bool completed_ = false;   // the last Scan completed a record
    Record last_;
    std::uint64_t records_ = 0;
    std::uint64_t damaged_ = 0;
    std::uint64_t leading_ = 0;
    std::uint64_t surplus_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t trailing_ = 0;
};

template <class OnAny>
void RecordCutter::FeedAll(std::span<const std::uint8_t> bytes, OnAny&& onAny) {
    while (!bytes.empty()) {
        if (Scan(bytes) && completed_)
            onAny(std::as_const(last_));
    }
}

template <class OnAny> void RecordCutter::FinishAll(OnAny&& onAny) {
    // The first bytes of an echo that never finished belong to what they follow.
    matched_ = 0;
    if (!started_) {
        consumed_ = leading_;
        return;
    }
    started_ = false;
    onAny(Complete());
}

template <class OnRecord> void RecordCutter::Settle(const Record& record, OnRecord&& onRecord) {
    if (Whole(record.length)) {
        ++records_;
        surplus_ += record.length - size_;
        consumed_ += record.length;
        onRecord(record);
    } else {
        ++damaged_;
        consumed_ += record.length;
    }
}

template <class OnRecord>
void RecordCutter::Feed(std::span<const std::uint8_t> bytes, OnRecord&& onRecord) {
    FeedAll(bytes, [&](const Record& record) { Settle(record, onRecord); });
}

template <class OnRecord> void RecordCutter::Finish(OnRecord&& onRecord) {
    FinishAll([&](const Record& record) {
        if (Whole(record.length)) {
            Settle(record, onRecord);
        } else {
            trailing_ = record.length;
        }
    });
}

// Which variant a recording was made with: the one whose record size more records have
// exactly. Nothing when the counts are equal (no record of either size included): the
// bytes cannot tell, and a guess would print wrong values as decoded.
class VariantGuess {
public:
    void Feed(std::span<const std::uint8_t> bytes);
    void Finish();

    std::uint64_t SohcMatches() const noexcept { return sohc_; }
    std::uint64_t DohcMatches() const noexcept { return dohc_; }
    std::optional<EngineVariant> Variant() const noexcept;

private:
    void Count(const Record& record) noexcept;

    RecordCutter cutter_{0};
    std::uint64_t sohc_ = 0;
    std::uint64_t dohc_ = 0;
};

// True when bytes begin with the whole echo of the data request.
bool StartsWithDataRequest(std::span<const std::uint8_t> bytes) noexcept;
// Where the whole echo of the data request first begins in bytes; nothing without one.
std::optional<std::size_t> FindDataRequest(std::span<const std::uint8_t> bytes) noexcept;

} // namespace ecu
