#pragma once
// Frames the scanner sends on the ECU link. Every frame is: device byte F4, length
// byte (0x55 plus the mode and data bytes), mode byte, data, and a checksum byte
// that makes the whole frame sum to 0 modulo 256.
#include "wire/EngineVariant.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace ecu {

using RequestFrame = std::array<std::uint8_t, 4>;

inline constexpr RequestFrame DataRequest = {0xF4, 0x56, 0x01, 0xB5};
inline constexpr RequestFrame ResetRequest = {0xF4, 0x56, 0x05, 0xB1};
inline constexpr RequestFrame ModeZeroRequest = {0xF4, 0x56, 0x00, 0xB6};

// Length of the request echo that precedes every answer on the one-wire line.
inline constexpr std::size_t EchoLength = 4;
// Position of the mode byte in a frame and in its echo.
inline constexpr std::size_t ModeOffset = 2;

// Length byte every frame carries: the base plus its mode and data bytes.
inline constexpr std::uint8_t LengthByteBase = 0x55;
// The ECU's answer to the data request: device, length and mode bytes, data, checksum.
inline constexpr std::size_t SohcAnswerLength = 64;
inline constexpr std::size_t DohcAnswerLength = 68;

// Length of the variant's whole answer; 0 with no variant.
constexpr std::size_t DataAnswerLength(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return SohcAnswerLength;
    case EngineVariant::Dohc:
        return DohcAnswerLength;
    default:
        return 0;
    }
}

// The byte that completes bytes[0..count) to a sum of 0 modulo 256.
constexpr std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return static_cast<std::uint8_t>(0x100 - sum);
}

} // namespace ecu
