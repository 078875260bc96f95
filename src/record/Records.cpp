#include "record/Records.h"

namespace ecu {

std::size_t RecordSize(int variant) noexcept {
    switch (variant) {
    case VariantSohc:
        return kSohcRecordSize;
    case VariantDohc:
        return kDohcRecordSize;
    default:
        return 0;
    }
}

RecordSplit SplitRecords(std::uint64_t fileSize, int variant) noexcept {
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
    return record.size() >= 3 && record[0] == 0xF4 && record[1] == 0x56 && record[2] == 0x01;
}

void VariantGuess::Feed(std::span<const std::uint8_t> bytes) {
    sohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        sohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
    dohc_.Feed(bytes, [this](std::span<const std::uint8_t> r) {
        dohcMatches_ += StartsWithDataRequest(r) ? 1 : 0;
    });
}

int VariantGuess::Variant() const noexcept {
    return dohcMatches_ > sohcMatches_ ? VariantDohc : VariantSohc;
}

} // namespace ecu
