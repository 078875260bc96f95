// ecu-csv: exports a recording (.bin) to CSV on standard output.
#include "Export.h"
#include "FileSource.h"
#include "Options.h"
#include "common/StandardStreams.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace ecu;
using namespace ecu::csvtool;

constexpr std::size_t kBlock = 1 << 20;
// What a pipe or device gives to guess the variant from: about 960 records of either size.
constexpr std::size_t kGuessPrefix = 64 << 10;

// Guesses the variant. A regular file is read whole and rewound. Any other input is guessed
// from its first kGuessPrefix bytes, which are kept in `prefix` for the export: it may never
// end (/dev/zero) or be larger than memory.
EngineVariant GuessVariant(FileSource& source, std::vector<std::uint8_t>& prefix) {
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
    const EngineVariant variant = guess.Variant();
    std::fprintf(stderr,
                 "ecu-csv: variant %s (%zu-byte records): %llu SOHC and %llu DOHC records begin "
                 "with F4 56 01%s\n",
                 VariantName(variant), RecordSize(variant),
                 static_cast<unsigned long long>(guess.SohcMatches()),
                 static_cast<unsigned long long>(guess.DohcMatches()),
                 source.Rewindable() ? "" : " in the first 64 KiB");
    return variant;
}

int Run(const Options& options) {
    FileSource source(options.file);
    std::vector<std::uint8_t> prefix;
    const EngineVariant variant = options.variant ? *options.variant : GuessVariant(source, prefix);

    Sink sink(STDOUT_FILENO, "standard output");
    CsvExporter exporter(variant, options.format, sink);
    exporter.Feed(prefix);
    prefix = {};
    std::vector<std::uint8_t> block(kBlock);
    while (const std::size_t n = source.Read(block)) {
        exporter.Feed(std::span(block).first(n));
    }
    const std::size_t partial = exporter.Finish();
    if (const std::uint64_t damaged = exporter.Damaged()) {
        std::fprintf(stderr, "ecu-csv: %llu damaged record%s skipped\n",
                     static_cast<unsigned long long>(damaged), damaged == 1 ? "" : "s");
    }
    if (partial) {
        std::fprintf(stderr, "ecu-csv: trailing partial record of %zu bytes not decoded\n",
                     partial);
    }
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
