// ecu-csv: exports a recording (.bin) to CSV on standard output.
#include "Export.h"
#include "FileSource.h"
#include "Options.h"

#include <cstdio>
#include <exception>
#include <unistd.h>
#include <vector>

namespace {

using namespace ecu;
using namespace ecu::csvtool;

constexpr std::size_t kBlock = 1 << 20;

// Guesses the variant from a first pass over the input. An input that cannot be read twice
// is kept in memory; its bytes are then returned for the export pass.
EngineVariant GuessVariant(FileSource& source, std::vector<std::uint8_t>& kept) {
    VariantGuess guess;
    std::vector<std::uint8_t> block(kBlock);
    while (const std::size_t n = source.Read(block)) {
        guess.Feed(std::span(block).first(n));
        if (!source.Rewindable()) {
            kept.insert(kept.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    if (source.Rewindable()) {
        source.Rewind();
    }
    const EngineVariant variant = guess.Variant();
    std::fprintf(stderr,
                 "ecu-csv: variant %s (%zu-byte records): %llu SOHC and %llu DOHC records begin "
                 "with F4 56 01\n",
                 VariantName(variant), RecordSize(variant),
                 static_cast<unsigned long long>(guess.SohcMatches()),
                 static_cast<unsigned long long>(guess.DohcMatches()));
    return variant;
}

int Run(const Options& options) {
    FileSource source(options.file);
    std::vector<std::uint8_t> kept;
    const EngineVariant variant = options.variant ? *options.variant : GuessVariant(source, kept);

    Sink sink(STDOUT_FILENO, "standard output");
    CsvExporter exporter(variant, options.format, sink);
    if (!kept.empty()) {
        exporter.Feed(kept);
    } else {
        std::vector<std::uint8_t> block(kBlock);
        while (const std::size_t n = source.Read(block)) {
            exporter.Feed(std::span(block).first(n));
        }
    }
    if (const std::size_t partial = exporter.Finish()) {
        std::fprintf(stderr, "ecu-csv: trailing partial record of %zu bytes not decoded\n",
                     partial);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
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
