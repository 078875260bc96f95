#include "ecu-sim/LinkBytes.h"

#include <numeric>

namespace ecu::link_bytes {

std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
    const unsigned sum = std::accumulate(bytes.begin(), bytes.end(), 0u);
    return static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
}

bool SumsToZero(std::span<const std::uint8_t> bytes) {
    return (std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFFu) == 0;
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t mode, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> frame;
    frame.reserve(data.size() + 4);
    frame.push_back(kDevice);
    frame.push_back(static_cast<std::uint8_t>(kLengthBase + 1 + data.size()));
    frame.push_back(mode);
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(Checksum(frame));
    return frame;
}

} // namespace ecu::link_bytes
