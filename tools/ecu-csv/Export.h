#pragma once
// Turns the bytes of a recording into CSV rows, record by record.
#include "FileSource.h"
#include "link/Decode.h"
#include "record/Records.h"
#include "ui/CsvRow.h"

#include <cstdint>
#include <span>
#include <string>

namespace ecu::csvtool {

class CsvExporter {
public:
    CsvExporter(EngineVariant variant, CsvFormat format, Sink& sink);

    // Writes the header; then rows for the records that bytes complete.
    void Feed(std::span<const std::uint8_t> bytes);
    // Writes the last row and flushes.
    void Finish();

    // What was cut, damaged, skipped and left over.
    const RecordCutter& Cutter() const noexcept { return cutter_; }
    // Whole records whose answer was not well formed: exported with decoded 0.
    std::uint64_t Undecoded() const noexcept { return undecoded_; }

private:
    void Row(const Record& record);

    EngineVariant variant_;
    CsvFormat format_;
    Sink& sink_;
    RecordCutter cutter_;
    EngineData data_;
    ByteString rx_;
    std::string text_;
    std::uint64_t undecoded_ = 0;
};

} // namespace ecu::csvtool
