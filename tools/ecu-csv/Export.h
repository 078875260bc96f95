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
    // Writes the rows held back and flushes; returns the byte count of a trailing partial
    // record.
    std::size_t Finish();

    std::uint64_t Records() const noexcept { return cutter_.Records(); }
    // Damaged cycles skipped; their row numbers stay unused, so rows keep the cycle numbers.
    std::uint64_t Damaged() const noexcept { return cutter_.Damaged(); }

private:
    void Row(std::span<const std::uint8_t> record, std::uint64_t index);

    EngineVariant variant_;
    CsvFormat format_;
    Sink& sink_;
    RecordResync cutter_;
    EngineData data_;
    ByteString rx_;
    std::string text_;
};

} // namespace ecu::csvtool
