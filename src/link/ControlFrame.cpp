#include "link/ControlFrame.h"

#include "wire/Frames.h"

namespace ecu {

void SetControlLayout(ControlLayout& layout, EngineVariant variant) {
    // Both variants use the same positions; the table stays per variant so that a
    // future ECU with another layout needs only a new row.
    static constexpr ControlLayout sohc{4, 5, 6, 10, 11};
    static constexpr ControlLayout dohc{4, 5, 6, 10, 11};
    if (variant == EngineVariant::Sohc)
        layout = sohc;
    else if (variant == EngineVariant::Dohc)
        layout = dohc;
}

std::uint8_t* ControlFrame::At(std::uint8_t position) {
    if (position < 1 || position > Bytes.size())
        return nullptr;
    return &Bytes[position - 1];
}

void ControlFrame::SetBit(std::uint8_t position, std::uint8_t bit) {
    if (std::uint8_t* b = At(position); b && (*b & bit) == 0)
        *b = static_cast<std::uint8_t>(*b | bit);
}

void ControlFrame::ClearBit(std::uint8_t position, std::uint8_t bit) {
    if (std::uint8_t* b = At(position); b && (*b & bit) != 0)
        *b = static_cast<std::uint8_t>(*b & ~bit);
}

void ControlFrame::Put(std::uint8_t position, std::uint8_t value) {
    if (std::uint8_t* b = At(position))
        *b = value;
}

void ControlFrame::SetOutputBit(const ControlLayout& l, std::uint8_t bit) {
    SetBit(l.Outputs1, bit);
    SetBit(l.Outputs2, bit);
}

void ControlFrame::ClearOutputBit(const ControlLayout& l, std::uint8_t bit) {
    ClearBit(l.Outputs1, bit);
    ClearBit(l.Outputs2, bit);
}

void ControlFrame::SetIacTarget(const ControlLayout& l, std::uint8_t position) {
    Put(l.IacPosition, position);
    Put(l.IacEnable, 1);
}

void ControlFrame::CancelIac(const ControlLayout& l) {
    Put(l.IacEnable, 0);
    Put(l.IacPosition, 0);
}

void ControlFrame::Checksum() {
    Bytes.back() = FrameChecksum(Bytes.data(), Bytes.size() - 1);
}

} // namespace ecu
