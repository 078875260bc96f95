// A recording cut into records in pieces of fuzzed sizes, each whole record decoded and
// written as CSV rows, against a direct walk from echo to echo. Byte 0 picks the variant
// (bits 0-1) and whether every fixed-size record is made to begin with the data request's
// echo (bit 7); byte 1 the piece sizes; the rest is the file.
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

namespace {

// Where each echo of the data request begins; the echo cannot overlap itself.
std::vector<std::size_t> Echoes(std::span<const std::uint8_t> file) {
    std::vector<std::size_t> at;
    for (auto it = file.begin();;) {
        it = std::search(it, file.end(), ecu::DataRequest.begin(), ecu::DataRequest.end());
        if (it == file.end())
            return at;
        at.push_back(static_cast<std::size_t>(it - file.begin()));
        it += ecu::EchoLength;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const ecu::EngineVariant variant = ecu::VariantFromIndex(static_cast<int>(data[0] % 4) - 1);
    std::uint32_t piece = data[1] | 1U;
    std::vector<std::uint8_t> owned(data + 2, data + size);
    const std::size_t fixed = ecu::RecordSize(variant);
    const bool stamped = (data[0] & 0x80U) != 0 && fixed > 0;
    for (std::size_t at = 0; stamped && at < owned.size(); at += fixed)
        std::copy_n(ecu::DataRequest.begin(), std::min(ecu::DataRequest.size(), owned.size() - at),
                    owned.data() + at);
    const std::span<const std::uint8_t> file(owned);

    const std::vector<std::size_t> echoes = Echoes(file);
    const auto lengthOf = [&](std::size_t i) {
        return (i + 1 < echoes.size() ? echoes[i + 1] : file.size()) - echoes[i];
    };

    ecu::RecordCutter every(fixed);
    std::size_t seen = 0; // records of every kind, checked against the walk
    const auto onAny = [&](const ecu::Record& r) {
        FUZZ_CHECK(seen < echoes.size() && r.index == seen && r.length == lengthOf(seen));
        FUZZ_CHECK(r.bytes.size() == std::min<std::uint64_t>(r.length, ecu::RecordCutter::kKeep));
        FUZZ_CHECK(std::equal(r.bytes.begin(), r.bytes.end(),
                              file.begin() + static_cast<std::ptrdiff_t>(echoes[seen])));
        ++seen;
    };
    ecu::RecordCutter whole(fixed);
    std::vector<std::uint64_t> wholeIndexes;
    ecu::EngineData state;
    ecu::ByteString rx;
    std::string csv;
    const auto onWhole = [&](const ecu::Record& r) {
        FUZZ_CHECK(fixed > 0 && r.length >= fixed);
        wholeIndexes.push_back(r.index);
        rx.assign(r.bytes.begin(), r.bytes.end());
        const bool decoded = ecu::DecodeFrame(rx, state, variant);
        for (auto format : {ecu::CsvFormat::Exact, ecu::CsvFormat::Display}) {
            csv.clear();
            ecu::AppendCsvRow(csv, r.index, decoded, state, format);
            FUZZ_CHECK(std::count(csv.begin(), csv.end(), ',') == 32 && csv.back() == '\n');
        }
    };
    ecu::VariantGuess guess;
    for (std::size_t at = 0; at < file.size();) {
        piece = piece * 1103515245U + 12345U;
        const std::size_t n = std::min<std::size_t>((piece >> 16) % 200, file.size() - at);
        const auto bytes = file.subspan(at, n);
        every.FeedAll(bytes, onAny);
        whole.Feed(bytes, onWhole);
        guess.Feed(bytes);
        at += n;
    }
    every.FinishAll(onAny);
    whole.Finish(onWhole);
    guess.Finish();
    FUZZ_CHECK(seen == echoes.size());

    // Whole records are those of the record size or more; shorter ones are damaged, the
    // last one trailing; every byte is settled but the trailing ones.
    std::vector<std::uint64_t> expected;
    std::uint64_t damaged = 0, surplus = 0, trailing = 0, sohc = 0, dohc = 0;
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        const std::size_t length = lengthOf(i);
        sohc += length == ecu::kSohcRecordSize ? 1 : 0;
        dohc += length == ecu::kDohcRecordSize ? 1 : 0;
        if (fixed > 0 && length >= fixed) {
            expected.push_back(i);
            surplus += length - fixed;
        } else if (i + 1 < echoes.size()) {
            ++damaged;
        } else {
            trailing = length;
        }
    }
    FUZZ_CHECK(wholeIndexes == expected && whole.Records() == expected.size());
    FUZZ_CHECK(whole.Damaged() == damaged && whole.Surplus() == surplus &&
               whole.Trailing() == trailing);
    FUZZ_CHECK(whole.Leading() == (echoes.empty() ? file.size() : echoes.front()));
    FUZZ_CHECK(whole.Consumed() == file.size() - trailing);
    FUZZ_CHECK(guess.SohcMatches() == sohc && guess.DohcMatches() == dohc);
    // A stream of whole cycles, every one beginning with the echo, is cut at the fixed size
    // unless an answer holds an echo of its own.
    const bool echoesAtCycles =
        std::all_of(echoes.begin(), echoes.end(), [&](std::size_t at) { return at % fixed == 0; });
    if (stamped && echoesAtCycles)
        FUZZ_CHECK(whole.Records() == file.size() / fixed && whole.Damaged() == 0);
    return 0;
}
