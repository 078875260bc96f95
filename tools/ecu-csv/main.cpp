// ecu-csv: exports a recording (.bin) to CSV on standard output.
#include "FileSource.h"
#include "Options.h"
#include "common/StandardStreams.h"
#include "ui/CsvExport.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace ecu;
using namespace ecu::csvtool;

constexpr std::size_t kBlock = 1 << 20;
// What a pipe or device gives to guess the variant from: about 960 records of either size.
constexpr std::size_t kGuessPrefix = 64 << 10;
// --variant auto on bytes that cannot tell: the command line must name the variant.
constexpr int kCannotTell = 2;

// Guesses the variant. A regular file is read whole and rewound. Any other input is guessed
// from its first kGuessPrefix bytes, which are kept in `prefix` for the export: it may never
// end (/dev/zero) or be larger than memory. Nothing when the bytes cannot tell.
std::optional<EngineVariant> GuessVariant(FileSource& source, std::vector<std::uint8_t>& prefix) {
    VariantGuess guess;
    if (source.Rewindable()) {
        std::vector<std::uint8_t> block(kBlock);
        while (const std::size_t n = source.Read(block)) {
            guess.Feed(std::span(block).first(n));
        }
        source.Rewind();
    } else {
        prefix.resize(kGuessPrefix);
        prefix.resize(source.Read(prefix));
        guess.Feed(prefix);
    }
    guess.Finish();
    const auto variant = guess.Variant();
    const char* const within = source.Rewindable() ? "" : " in the first 64 KiB";
    const auto sohc = static_cast<unsigned long long>(guess.SohcMatches());
    const auto dohc = static_cast<unsigned long long>(guess.DohcMatches());
    if (!variant) {
        std::fprintf(stderr,
                     "ecu-csv: cannot tell SOHC from DOHC: %llu records of 68 bytes and %llu of "
                     "72 bytes%s; give --variant sohc or --variant dohc\n",
                     sohc, dohc, within);
        return std::nullopt;
    }
    std::fprintf(stderr,
                 "ecu-csv: variant %s (%zu-byte records): %llu records of 68 bytes and %llu of "
                 "72 bytes%s\n",
                 VariantName(*variant), RecordSize(*variant), sohc, dohc, within);
    return variant;
}

void Count(unsigned long long count, const char* one, const char* many, const char* what) {
    if (count != 0)
        std::fprintf(stderr, "ecu-csv: %llu %s %s\n", count, count == 1 ? one : many, what);
}

// What was not exported, on standard error.
void ReportSkipped(const CsvExporter& exporter) {
    const RecordCutter& cut = exporter.Cutter();
    Count(cut.Leading(), "byte", "bytes", "before the first echo skipped");
    Count(cut.Damaged(), "damaged record", "damaged records", "skipped");
    Count(exporter.Undecoded(), "record", "records", "without a well-formed answer not decoded");
    Count(cut.Surplus(), "byte", "bytes", "after whole answers skipped");
    if (const std::uint64_t partial = cut.Trailing()) {
        std::fprintf(stderr, "ecu-csv: trailing partial record of %llu bytes not decoded\n",
                     static_cast<unsigned long long>(partial));
    }
}

int Run(const Options& options) {
    FileSource source(options.file);
    std::vector<std::uint8_t> prefix;
    const auto variant = options.variant ? options.variant : GuessVariant(source, prefix);
    if (!variant)
        return kCannotTell;

    Sink sink(STDOUT_FILENO, "standard output");
    CsvExporter exporter(*variant, options.format, sink);
    exporter.Feed(prefix);
    prefix = {};
    std::vector<std::uint8_t> block(kBlock);
    while (const std::size_t n = source.Read(block)) {
        exporter.Feed(std::span(block).first(n));
    }
    exporter.Finish();
    ReportSkipped(exporter);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!cmdline::OpenClosedStandardStreams()) {
        return 1;
    }
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "ecu-csv: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        return Run(*options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-csv: %s\n", e.what());
        return 1;
    }
}
