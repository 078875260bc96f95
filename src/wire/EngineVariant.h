#pragma once
// The engine variant: it decides the answer layout, the record size and the control
// frame's layout. The setup page's combo box holds it as an item index.
#include <optional>
#include <string_view>

namespace ecu {

enum class EngineVariant { None, Sohc, Dohc };

// Combo item 0 is SOHC, 1 DOHC; -1 (no selection) and any other index mean none.
constexpr EngineVariant VariantFromIndex(int itemIndex) noexcept {
    switch (itemIndex) {
    case 0:
        return EngineVariant::Sohc;
    case 1:
        return EngineVariant::Dohc;
    default:
        return EngineVariant::None;
    }
}

constexpr int VariantIndex(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return 0;
    case EngineVariant::Dohc:
        return 1;
    default:
        return -1;
    }
}

// The command-line spelling: "sohc" or "dohc", nothing else.
constexpr std::optional<EngineVariant> ParseVariant(std::string_view name) noexcept {
    if (name == "sohc")
        return EngineVariant::Sohc;
    if (name == "dohc")
        return EngineVariant::Dohc;
    return std::nullopt;
}

constexpr const char* VariantName(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return "SOHC";
    case EngineVariant::Dohc:
        return "DOHC";
    default:
        return "none";
    }
}

} // namespace ecu
