// A recording cut into records in pieces of fuzzed sizes, each record decoded and written
// as CSV rows, and cut again by the resynchronising cutter. Byte 0 picks the variant (bits
// 0-1) and whether every fixed-size record is made to begin with the data request's echo
// (bit 7); byte 1 the piece sizes; the rest is the file.
#include "FuzzCheck.h"
#include "link/Decode.h"
#include "record/Records.h"
#include "ui/CsvRow.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const ecu::EngineVariant variant = ecu::VariantFromIndex(static_cast<int>(data[0] % 4) - 1);
    std::uint32_t piece = data[1] | 1U;
    std::vector<std::uint8_t> owned(data + 2, data + size);
    const std::size_t fixed = ecu::RecordSize(variant);
    for (std::size_t at = 0; (data[0] & 0x80U) != 0 && fixed > 0 && at < owned.size(); at += fixed)
        std::copy_n(ecu::DataRequest.begin(), std::min(ecu::DataRequest.size(), owned.size() - at),
                    owned.data() + at);
    const std::span<const std::uint8_t> file(owned);

    const ecu::RecordSplit split = ecu::SplitRecords(file.size(), variant);
    ecu::RecordCutter cutter(split.recordSize);
    ecu::RecordResync resync(split.recordSize);
    std::vector<std::uint64_t> resyncAt; // where each record resync cut begins
    const auto onResync = [&](std::span<const std::uint8_t> record, std::uint64_t index) {
        // Records follow one another in the file, whole, and are numbered among all cycles.
        FUZZ_CHECK(record.size() == split.recordSize && resync.Consumed() >= record.size());
        const std::uint64_t at = resync.Consumed() - record.size();
        FUZZ_CHECK(resyncAt.empty() || at >= resyncAt.back() + record.size());
        FUZZ_CHECK(std::equal(record.begin(), record.end(),
                              file.begin() + static_cast<std::ptrdiff_t>(at)));
        FUZZ_CHECK(index == resync.Records() + resync.Damaged() - 1 && index >= resyncAt.size());
        resyncAt.push_back(at);
    };
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
        resync.Feed(bytes, onResync);
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
    resync.Finish(onResync);
    FUZZ_CHECK(resyncAt.size() == resync.Records() && resync.Records() <= split.records);
    FUZZ_CHECK(split.recordSize == 0 || (resync.Consumed() + resync.Pending() == file.size() &&
                                         resync.Pending() < split.recordSize));
    // A stream of whole cycles, every one beginning with the echo (the partial last one as
    // far as its bytes go), is cut exactly as by the fixed size.
    bool whole = split.recordSize > 0;
    for (std::size_t at = 0; whole && at < file.size(); at += split.recordSize) {
        const std::size_t n = std::min(ecu::DataRequest.size(), file.size() - at);
        whole = std::equal(ecu::DataRequest.begin(),
                           ecu::DataRequest.begin() + static_cast<std::ptrdiff_t>(n),
                           file.begin() + static_cast<std::ptrdiff_t>(at));
    }
    if (whole) {
        FUZZ_CHECK(resync.Damaged() == 0 && resync.Records() == split.records);
        for (std::size_t i = 0; i < resyncAt.size(); ++i)
            FUZZ_CHECK(resyncAt[i] == i * split.recordSize);
    }
    // The pull form, given the file in one piece, cuts the same records.
    ecu::RecordResync pull(split.recordSize);
    pull.Push(file);
    pull.End();
    std::size_t n = 0;
    for (auto record = pull.Next(); !record.empty(); record = pull.Next(), ++n)
        FUZZ_CHECK(n < resyncAt.size() && pull.Consumed() - record.size() == resyncAt[n]);
    FUZZ_CHECK(n == resyncAt.size() && pull.Damaged() == resync.Damaged());
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
