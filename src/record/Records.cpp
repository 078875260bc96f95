#include "record/Records.h"

#include "wire/Frames.h"

#include <algorithm>

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

bool StartsWithDataRequest(std::span<const std::uint8_t> bytes) noexcept {
    return bytes.size() >= EchoLength &&
           std::equal(DataRequest.begin(), DataRequest.end(), bytes.begin());
}

std::optional<std::size_t> FindDataRequest(std::span<const std::uint8_t> bytes) noexcept {
    const auto found =
        std::search(bytes.begin(), bytes.end(), DataRequest.begin(), DataRequest.end());
    if (found == bytes.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - bytes.begin());
}

void RecordCutter::Append(std::span<const std::uint8_t> bytes) {
    if (!started_) {
        leading_ += bytes.size();
        return;
    }
    length_ += bytes.size();
    const std::size_t room = kKeep > current_.size() ? kKeep - current_.size() : 0;
    const auto kept = bytes.first(std::min(room, bytes.size()));
    current_.insert(current_.end(), kept.begin(), kept.end());
}

const Record& RecordCutter::Complete() {
    done_.swap(current_);
    last_ = Record{std::span<const std::uint8_t>(done_), length_, index_};
    return last_;
}

void RecordCutter::EchoFound() {
    completed_ = started_;
    if (started_) {
        // The echo begins the next record, not this one.
        length_ -= EchoLength;
        if (current_.size() > length_)
            current_.resize(static_cast<std::size_t>(length_));
        Complete();
        ++index_;
    } else {
        leading_ -= EchoLength;
        consumed_ = leading_;
        started_ = true;
    }
    current_.assign(DataRequest.begin(), DataRequest.end());
    length_ = EchoLength;
}

bool RecordCutter::Scan(std::span<const std::uint8_t>& bytes) {
    completed_ = false;
    const std::uint8_t* const begin = bytes.data();
    const std::uint8_t* const end = begin + bytes.size();
    const std::uint8_t* p = begin;
    while (p != end) {
        if (matched_ == 0) {
            // Most bytes are no device byte: skip to the next one at memchr's pace.
            p = std::find(p, end, DataRequest[0]);
            if (p == end)
                break;
            ++p;
            matched_ = 1;
            continue;
        }
        const std::uint8_t b = *p++;
        if (b != DataRequest[matched_]) {
            // The device byte occurs in the echo only at its start.
            matched_ = b == DataRequest[0] ? 1 : 0;
        } else if (++matched_ == EchoLength) {
            matched_ = 0;
            Append(std::span<const std::uint8_t>(begin, p));
            bytes = bytes.subspan(static_cast<std::size_t>(p - begin));
            EchoFound();
            return true;
        }
    }
    Append(bytes);
    bytes = {};
    return false;
}

void VariantGuess::Count(const Record& record) noexcept {
    sohc_ += record.length == kSohcRecordSize ? 1 : 0;
    dohc_ += record.length == kDohcRecordSize ? 1 : 0;
}

void VariantGuess::Feed(std::span<const std::uint8_t> bytes) {
    cutter_.FeedAll(bytes, [this](const Record& r) { Count(r); });
}

void VariantGuess::Finish() {
    cutter_.FinishAll([this](const Record& r) { Count(r); });
}

std::optional<EngineVariant> VariantGuess::Variant() const noexcept {
    if (sohc_ == dohc_)
        return std::nullopt;
    return sohc_ > dohc_ ? EngineVariant::Sohc : EngineVariant::Dohc;
}

} // namespace ecu
