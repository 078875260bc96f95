#include "Export.h"

namespace ecu::csvtool {
namespace {
constexpr std::size_t kFlushAt = 1 << 20;
}

CsvExporter::CsvExporter(EngineVariant variant, CsvFormat format, Sink& sink)
    : variant_(variant), format_(format), sink_(sink), cutter_(RecordSize(variant)) {
    text_.reserve(kFlushAt + 4096);
    AppendCsvHeader(text_);
}

void CsvExporter::Feed(std::span<const std::uint8_t> bytes) {
    cutter_.Feed(bytes, [this](std::span<const std::uint8_t> record, std::uint64_t index) {
        Row(record, index);
    });
}

void CsvExporter::Row(std::span<const std::uint8_t> record, std::uint64_t index) {
    // The decoder consumes its buffer (it removes the echo), so it gets its own copy.
    rx_.assign(record.begin(), record.end());
    const bool decoded = DecodeFrame(rx_, data_, variant_);
    AppendCsvRow(text_, index, decoded, data_, format_);
    if (text_.size() >= kFlushAt) {
        sink_.Write(text_);
        text_.clear();
    }
}

std::size_t CsvExporter::Finish() {
    cutter_.Finish(
        [this](std::span<const std::uint8_t> record, std::uint64_t index) { Row(record, index); });
    sink_.Write(text_);
    text_.clear();
    return cutter_.Pending();
}

} // namespace ecu::csvtool
