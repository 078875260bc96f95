#pragma once
// Bytes waiting to go out on the line, each with the earliest moment it may be sent. Two
// sources talk on the one wire: the wire itself (the echo of what the tester sends, which no
// pending answer holds up) and the ECU, which answers one request after the other. Each source
// sends its bytes in order, one byte time apart, as a line at the given rate would carry them.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace ecu {

class LineOutput {
public:
    using Clock = std::chrono::steady_clock;
    enum class Source { Wire, Ecu };

    void SetByteTime(Clock::duration byteTime) { byteTime_ = byteTime; }
    // Queues bytes of a source to start no earlier than `earliest`.
    void Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest, Source source);
    // When the source is free for a new byte that is ready at `now`.
    Clock::time_point FreeAt(Source source, Clock::time_point now) const;
    // Writes the bytes due by `now`, appending those the line took to `written` when given.
    // False when the line would block with bytes due.
    bool Flush(int fd, Clock::time_point now, std::vector<std::uint8_t>* written = nullptr);
    std::optional<Clock::time_point> NextDue() const;
    bool Empty() const { return pending_.empty(); }

private:
    struct Byte {
        std::uint8_t value{};
        Clock::time_point due;
    };
    std::deque<Byte> pending_;    // ordered by due time, first come first within a time
    Clock::time_point tail_[2]{}; // due time of each source's latest byte
    Clock::duration byteTime_{};
};

} // namespace ecu
