#include "record/Records.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Records, SizeBySelectedVariant) {
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::Sohc), 68U);
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::Dohc), 72U);
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::None), 0U);
    EXPECT_EQ(ecu::RecordSize(ecu::VariantFromIndex(2)), 0U);

    const auto sohc = ecu::SplitRecords(std::uint64_t{68} * 5 + 67, ecu::EngineVariant::Sohc);
    EXPECT_EQ(sohc.records, 5U);
    EXPECT_EQ(sohc.trailing, 67U);
    const auto dohc = ecu::SplitRecords(std::uint64_t{72} * 3, ecu::EngineVariant::Dohc);
    EXPECT_EQ(dohc.records, 3U);
    EXPECT_EQ(dohc.trailing, 0U);
    // Without a variant nothing is playable.
    const auto none = ecu::SplitRecords(1000, ecu::EngineVariant::None);
    EXPECT_EQ(none.records, 0U);
    EXPECT_EQ(none.trailing, 1000U);
}

TEST(RecordCutter, SameRecordsWhateverPiecesTheBytesArriveIn) {
    std::mt19937 rng(99);
    for (std::size_t size : {std::size_t{68}, std::size_t{72}, std::size_t{1}}) {
        for (int round = 0; round < 50; ++round) {
            Bytes stream(rng() % 2000);
            for (auto& b : stream) {
                b = static_cast<std::uint8_t>(rng());
            }
            ecu::RecordCutter cutter(size);
            std::vector<Bytes> got;
            std::size_t at = 0;
            while (at < stream.size() || rng() % 4 == 0) {
                const std::size_t n = std::min<std::size_t>(rng() % 150, stream.size() - at);
                cutter.Feed(std::span(stream).subspan(at, n), [&](std::span<const std::uint8_t> r) {
                    got.emplace_back(r.begin(), r.end());
                });
                at += n;
                if (at == stream.size()) {
                    break;
                }
            }
            ASSERT_EQ(got.size(), stream.size() / size);
            for (std::size_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(got[k],
                          Bytes(stream.begin() + static_cast<std::ptrdiff_t>(k * size),
                                stream.begin() + static_cast<std::ptrdiff_t>((k + 1) * size)));
            }
            EXPECT_EQ(cutter.Pending(), stream.size() % size);
            EXPECT_EQ(cutter.Records(), got.size());
        }
    }
}

TEST(RecordCutter, NoRecordSizeYieldsNothing) {
    ecu::RecordCutter cutter(0);
    Bytes stream(500, 0xF4);
    int records = 0;
    cutter.Feed(stream, [&](std::span<const std::uint8_t>) { ++records; });
    EXPECT_EQ(records, 0);
    EXPECT_EQ(cutter.Records(), 0U);
}

Bytes Request(std::size_t size) {
    Bytes r(size, 0x00);
    r[0] = 0xF4;
    r[1] = 0x56;
    r[2] = 0x01;
    return r;
}

TEST(VariantGuess, CountsCompleteRecordsThatBeginWithTheRequest) {
    // Four 72-byte records: under 68 bytes only the first lines up.
    Bytes stream;
    for (int i = 0; i < 4; ++i) {
        const Bytes r = Request(72);
        stream.insert(stream.end(), r.begin(), r.end());
    }
    ecu::VariantGuess guess;
    guess.Feed(std::span(stream).first(100));
    guess.Feed(std::span(stream).subspan(100));
    EXPECT_EQ(guess.DohcMatches(), 4U);
    EXPECT_EQ(guess.SohcMatches(), 1U);
    EXPECT_EQ(guess.Variant(), ecu::EngineVariant::Dohc);

    // A request at the start of an unfinished record does not count.
    Bytes partial = Request(68);
    partial.resize(68 + 50, 0);
    partial[68] = 0xF4;
    partial[69] = 0x56;
    partial[70] = 0x01;
    ecu::VariantGuess tie;
    tie.Feed(partial);
    EXPECT_EQ(tie.SohcMatches(), 1U);
    EXPECT_EQ(tie.DohcMatches(), 1U);
    EXPECT_EQ(tie.Variant(), ecu::EngineVariant::Sohc);

    EXPECT_EQ(ecu::VariantGuess{}.Variant(), ecu::EngineVariant::Sohc);
}

} // namespace
