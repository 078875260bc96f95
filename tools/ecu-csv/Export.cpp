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
    cutter_.Feed(bytes, [this](const Record& record) { Row(record); });
}

// The row carries the record's cycle number: damaged cycles leave theirs unused.
void CsvExporter::Row(const Record& record) {
    // The decoder consumes its buffer (it removes the echo), so it gets its own copy.
    rx_.assign(record.bytes.begin(), record.bytes.end());
    const bool decoded = DecodeExchange(rx_, data_, variant_);
    undecoded_ += decoded ? 0 : 1;
    AppendCsvRow(text_, record.index, decoded, data_, format_);
    if (text_.size() >= kFlushAt) {
        sink_.Write(text_);
        text_.clear();
    }
}

void CsvExporter::Finish() {
    cutter_.Finish([this](const Record& record) { Row(record); });
    sink_.Write(text_);
    text_.clear();
}

} // namespace ecu::csvtool
