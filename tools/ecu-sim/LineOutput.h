#pragma once
// Bytes waiting to go out on the line, each with the earliest moment it may be sent. Bytes go
// out in order, at least one byte time apart, as a real line at the given rate would carry them.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace ecu {

class LineOutput {
public:
    using Clock = std::chrono::steady_clock;

    void SetByteTime(Clock::duration byteTime) { byteTime_ = byteTime; }
    // Queues bytes to start no earlier than `earliest`.
    void Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest);
    // When the line is free for a new byte that is ready at `now`.
    Clock::time_point FreeAt(Clock::time_point now) const;
    // Writes the bytes due by `now`. False when the line would block with bytes due.
    bool Flush(int fd, Clock::time_point now);
    std::optional<Clock::time_point> NextDue() const;
    bool Empty() const { return pending_.empty(); }

private:
    struct Byte {
        std::uint8_t value;
        Clock::time_point due;
    };
    std::deque<Byte> pending_;
    Clock::time_point tail_{}; // due time of the latest byte queued
    Clock::duration byteTime_{};
};

} // namespace ecu
