#include "ecu-sim/FrameScanner.h"

#include "ecu-sim/LinkBytes.h"

namespace ecu {

void FrameScanner::Append(const std::uint8_t* bytes, std::size_t count, Clock::time_point now) {
    bytes_.insert(bytes_.end(), bytes, bytes + count);
    if (count > 0)
        lastArrival_ = now;
}

FrameScanner::Front FrameScanner::Classify(std::size_t& size) const {
    using namespace link_bytes;
    if (bytes_.front() != kDevice)
        return Front::NoFrame;
    if (bytes_.size() < 2)
        return Front::Incomplete;
    const std::uint8_t length = bytes_[1];
    if (length <= kLengthBase || length > kLengthBase + kMaxBody)
        return Front::NoFrame;
    size = FrameSize(length);
    if (bytes_.size() < size)
        return Front::Incomplete;
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum += bytes_[i];
    return (sum & 0xFFu) == 0 ? Front::Frame : Front::NoFrame;
}

std::optional<FrameScanner::Piece> FrameScanner::Take(Clock::time_point now, Clock::duration hold) {
    Piece skipped;
    while (!bytes_.empty()) {
        std::size_t size = 0;
        const Front front = Classify(size);
        if (front == Front::Frame) {
            if (!skipped.bytes.empty())
                break;
            Piece frame{{bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(size)}, true};
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(size));
            return frame;
        }
        if (front == Front::Incomplete && now - lastArrival_ < hold)
            break;
        skipped.bytes.push_back(bytes_.front());
        bytes_.pop_front();
    }
    if (skipped.bytes.empty())
        return std::nullopt;
    return skipped;
}

std::optional<FrameScanner::Clock::time_point> FrameScanner::Deadline(Clock::duration hold) const {
    if (bytes_.empty())
        return std::nullopt;
    return lastArrival_ + hold;
}

} // namespace ecu
