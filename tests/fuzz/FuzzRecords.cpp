// A recording cut into records in pieces of fuzzed sizes, each record decoded and written
// as CSV rows. Byte 0 picks the variant, byte 1 the piece sizes; the rest is the file.
#include "FuzzCheck.h"
#include "link/Decode.h"
#include "record/Records.h"
#include "ui/CsvRow.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const ecu::EngineVariant variant = ecu::VariantFromIndex(static_cast<int>(data[0] % 4) - 1);
    std::uint32_t piece = data[1] | 1U;
    const std::span<const std::uint8_t> file(data + 2, size - 2);

    const ecu::RecordSplit split = ecu::SplitRecords(file.size(), variant);
    ecu::RecordCutter cutter(split.recordSize);
    ecu::VariantGuess guess;
    ecu::EngineData state;
    ecu::ByteString rx;
    std::string csv;
    std::uint64_t k = 0;

    std::size_t at = 0;
    while (at < file.size()) {
        piece = piece * 1103515245U + 12345U;
        const std::size_t n = std::min<std::size_t>((piece >> 16) % 200, file.size() - at);
        const auto bytes = file.subspan(at, n);
        guess.Feed(bytes);
        cutter.Feed(bytes, [&](std::span<const std::uint8_t> record) {
            FUZZ_CHECK(record.size() == split.recordSize);
            FUZZ_CHECK(
                std::equal(record.begin(), record.end(),
                           file.begin() + static_cast<std::ptrdiff_t>(k * split.recordSize)));
            rx.assign(record.begin(), record.end());
            const bool decoded = ecu::DecodeFrame(rx, state, variant);
            for (auto format : {ecu::CsvFormat::Exact, ecu::CsvFormat::Display}) {
                csv.clear();
                ecu::AppendCsvRow(csv, k, decoded, state, format);
                FUZZ_CHECK(std::count(csv.begin(), csv.end(), ',') == 32 && csv.back() == '\n');
            }
            ++k;
        });
        at += n;
    }
    FUZZ_CHECK(k == split.records && cutter.Records() == split.records);
    FUZZ_CHECK(split.recordSize == 0 || cutter.Pending() == split.trailing);

    // The guess counts the same records a direct walk finds.
    for (const ecu::EngineVariant v : {ecu::EngineVariant::Sohc, ecu::EngineVariant::Dohc}) {
        const std::size_t rs = ecu::RecordSize(v);
        std::uint64_t matches = 0;
        for (std::size_t off = 0; off + rs <= file.size(); off += rs) {
            matches += ecu::StartsWithDataRequest(file.subspan(off, rs)) ? 1 : 0;
        }
        FUZZ_CHECK(matches ==
                   (v == ecu::EngineVariant::Sohc ? guess.SohcMatches() : guess.DohcMatches()));
    }
    return 0;
}
