#pragma once
// Splits the bytes coming off the line into request frames and runs of bytes that fit none.
// A frame starts with the device byte; a start that is cut short (bad length byte or checksum,
// or nothing more arriving within the hold time) counts as one stray byte and the scan resumes
// at the byte after it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace ecu {

class FrameScanner {
public:
    using Clock = std::chrono::steady_clock;

    // Longest request the ECU takes: mode byte and up to 15 data bytes.
    static constexpr std::size_t kMaxBody = 16;

    struct Piece {
        std::vector<std::uint8_t> bytes;
        bool frame = false;
    };

    void Append(const std::uint8_t* bytes, std::size_t count, Clock::time_point now);
    // The next piece off the front, or nothing while the front is a frame still coming in.
    std::optional<Piece> Take(Clock::time_point now, Clock::duration hold);
    // When a frame still coming in will be given up, if one is waiting.
    std::optional<Clock::time_point> Deadline(Clock::duration hold) const;
    bool Empty() const { return bytes_.empty(); }

private:
    enum class Front { Frame, NoFrame, Incomplete };
    Front Classify(std::size_t& size) const;

    std::deque<std::uint8_t> bytes_;
    Clock::time_point lastArrival_{};
};

} // namespace ecu
