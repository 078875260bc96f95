#pragma once
// The 32-bit millisecond tick the session waits on. It wraps at 2^32, so every
// user compares ticks by unsigned difference only.
#include <cstdint>

namespace ecu {

class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t Now() = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
class SystemTicks : public TickSource {
public:
    std::uint32_t Now() override;
};

// The system tick moved by a fixed offset, for running waits across the wrap.
class OffsetTicks : public TickSource {
public:
    explicit OffsetTicks(std::uint32_t offset) : offset_(offset) {}
    std::uint32_t Now() override { return base_.Now() + offset_; }

private:
    SystemTicks base_;
    std::uint32_t offset_;
};

} // namespace ecu
