#include "record/Records.h"

#include "wire/Frames.h"

namespace ecu {

std::size_t RecordSize(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return kSohcRecordSize;
    case EngineVariant::Dohc:
        return kDohcRecordSize;
    default:
        return 0;
    }
}

RecordSplit SplitRecords(std::uint64_t fileSize, EngineVariant variant) noexcept {
    RecordSplit split;
    split.recordSize = RecordSize(variant);
    if (split.recordSize == 0) {
        split.trailing = fileSize;
        return split;
    }
    split.records = fileSize / split.recordSize;
    split.trailing = fileSize % split.recordSize;
    return split;
}

bool StartsWithDataRequest(std::span<const std::uint8_t> record) noexcept {
    // Device, length and mode: the checksum byte adds nothing to tell them apart.
    constexpr std::size_t head = ModeOffset + 1;
    return record.size() >= head &&
           std::equal(DataRequest.begin(), DataRequest.begin() + head, record.begin());
}

void VariantGuess::Feed(std::span<const std::uint8_t> bytes) {
    sohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        sohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
    dohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        dohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
}

EngineVariant VariantGuess::Variant() const noexcept {
    return dohcMatches_ > sohcMatches_ ? EngineVariant::Dohc : EngineVariant::Sohc;
}

} // namespace ecu
