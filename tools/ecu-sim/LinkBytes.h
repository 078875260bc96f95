#pragma once
// Frames on the diagnostic line: device byte, length byte (0x55 + mode and data bytes), mode,
// data, and a checksum that makes the whole frame sum to 0 modulo 256.
#include "wire/Frames.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ecu::link_bytes {

// The tester's requests are the program's own frames.
inline constexpr std::uint8_t kDevice = DataRequest[0];
inline constexpr std::uint8_t kLengthBase = 0x55;

inline constexpr std::uint8_t kModeZero = ModeZeroRequest[ModeOffset];
inline constexpr std::uint8_t kModeData = DataRequest[ModeOffset];
inline constexpr std::uint8_t kModeControl = 0x04;
inline constexpr std::uint8_t kModeReset = ResetRequest[ModeOffset];

inline constexpr std::uint8_t kResetAck = 0xAA;

// The byte that brings the sum of bytes to 0 modulo 256.
std::uint8_t Checksum(std::span<const std::uint8_t> bytes);
bool SumsToZero(std::span<const std::uint8_t> bytes);
// Total frame length for a length byte: mode and data, plus device, length and checksum bytes.
inline constexpr std::size_t FrameSize(std::uint8_t lengthByte) {
    return std::size_t{lengthByte} - kLengthBase + 3;
}
std::vector<std::uint8_t> MakeFrame(std::uint8_t mode, std::span<const std::uint8_t> data);

} // namespace ecu::link_bytes
