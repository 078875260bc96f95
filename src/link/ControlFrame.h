#pragma once
// The 14-byte actuator control frame (mode 4) and the table of its byte positions.
#include "wire/EngineVariant.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace ecu {

inline constexpr std::size_t ControlFrameLength = 14;
using ControlBytes = std::array<std::uint8_t, ControlFrameLength>;

inline constexpr ControlBytes ControlFrameDefault = {0xF4, 0x60, 0x04, 0x00, 0x00, 0x00, 0x00,
                                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA8};

// Output byte bits (both copies carry the same bits).
inline constexpr std::uint8_t CheckEngieBit = 0x01;
inline constexpr std::uint8_t CarlsonBit = 0x02;
// Command byte bits; only a restore clears them.
inline constexpr std::uint8_t ClearDTCBit = 0x40;
inline constexpr std::uint8_t RezetBLMBit = 0x10;

// 1-based positions in the frame; 0 until the layout is first set.
struct ControlLayout {
    std::uint8_t Outputs1 = 0;
    std::uint8_t Outputs2 = 0;
    std::uint8_t Commands = 0;
    std::uint8_t IacEnable = 0;
    std::uint8_t IacPosition = 0;

    bool operator==(const ControlLayout&) const = default;
};

// Fills the layout for SOHC or DOHC; with no variant it stays as it was.
void SetControlLayout(ControlLayout& layout, EngineVariant variant);

// Every edit reaches the frame through the layout. A position outside the frame
// (the layout was never set) makes the edit do nothing rather than write astray.
class ControlFrame {
public:
    ControlBytes Bytes = ControlFrameDefault;

    void CheckEngieOn(const ControlLayout& l) { SetOutputBit(l, CheckEngieBit); }
    void CheckEngieOff(const ControlLayout& l) { ClearOutputBit(l, CheckEngieBit); }
    void CarlsonOn(const ControlLayout& l) { SetOutputBit(l, CarlsonBit); }
    void CarlsonOff(const ControlLayout& l) { ClearOutputBit(l, CarlsonBit); }
    void ClearFaults(const ControlLayout& l) { SetBit(l.Commands, ClearDTCBit); }
    void ResetLearning(const ControlLayout& l) { SetBit(l.Commands, RezetBLMBit); }
    void SetIacTarget(const ControlLayout& l, std::uint8_t position);
    void CancelIac(const ControlLayout& l);
    void Restore() { Bytes = ControlFrameDefault; }

    // Sets the last byte so that the 14 bytes sum to 0 modulo 256.
    void Checksum();

    const std::uint8_t* data() const { return Bytes.data(); }

private:
    void SetOutputBit(const ControlLayout& l, std::uint8_t bit);
    void ClearOutputBit(const ControlLayout& l, std::uint8_t bit);
    void SetBit(std::uint8_t position, std::uint8_t bit);
    void ClearBit(std::uint8_t position, std::uint8_t bit);
    void Put(std::uint8_t position, std::uint8_t value);
    std::uint8_t* At(std::uint8_t position);
};

} // namespace ecu
