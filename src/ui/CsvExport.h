#pragma once
// Turns the bytes of a recording into CSV rows, record by record: the one path by which
// ecu-csv and the window's export both write a recording's rows.
#include "link/Decode.h"
#include "record/Records.h"
#include "ui/CsvRow.h"

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace ecu {

// Where the rows go, in pieces of about a megabyte. Write throws on failure.
class CsvSink {
public:
    virtual ~CsvSink() = default;
    virtual void Write(const std::string& text) = 0;
};

class CsvExporter {
public:
    CsvExporter(EngineVariant variant, CsvFormat format, CsvSink& sink);

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
    CsvSink& sink_;
    RecordCutter cutter_;
    EngineData data_;
    ByteString rx_;
    std::string text_;
    std::uint64_t undecoded_ = 0;
};

// A recording or its CSV file could not be read or written; the text names the file and
// gives the operating system's reason.
class CsvExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes of the recording read so far and its size; false cancels the export.
using CsvExportProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Writes the CSV of the recording at `source` to `target` (created, or emptied), read in
// blocks as ecu-csv reads it. Returns false when progress cancelled: the target is then
// removed. Throws CsvExportError; a target left half written is removed too.
bool ExportRecording(const std::string& source, const std::string& target, EngineVariant variant,
                     CsvFormat format, const CsvExportProgress& progress = {});

} // namespace ecu
