#include "record/Records.h"
#include "record/RecordIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Records, SizeBySelectedVariant) {
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::Sohc), 68U);
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::Dohc), 72U);
    EXPECT_EQ(ecu::RecordSize(ecu::EngineVariant::None), 0U);
    EXPECT_EQ(ecu::RecordSize(ecu::VariantFromIndex(2)), 0U);
}

const Bytes kEcho(ecu::DataRequest.begin(), ecu::DataRequest.end());

// A recorded cycle: the echo, then `answer` bytes that hold no F4.
Bytes Cycle(std::mt19937& rng, std::size_t answer) {
    Bytes c = kEcho;
    for (std::size_t i = 0; i < answer; ++i)
        c.push_back(static_cast<std::uint8_t>(rng() % 0xF0));
    return c;
}

struct Cut {
    std::vector<Bytes> records; // as handed on, whole ones only
    std::vector<std::uint64_t> indexes;
    std::vector<std::uint64_t> all; // lengths of every record, damaged ones included
    std::uint64_t damaged = 0, leading = 0, surplus = 0, trailing = 0, consumed = 0;
};

// Feeds the stream in random pieces (single bytes included) and finishes it.
Cut CutStream(const Bytes& stream, std::size_t size, std::mt19937& rng) {
    ecu::RecordCutter cutter(size);
    ecu::RecordCutter every(size);
    Cut cut;
    const auto take = [&](const ecu::Record& r) {
        EXPECT_EQ(r.bytes.size(), std::min<std::uint64_t>(r.length, ecu::RecordCutter::kKeep));
        cut.records.emplace_back(r.bytes.begin(), r.bytes.end());
        cut.indexes.push_back(r.index);
    };
    const auto any = [&](const ecu::Record& r) { cut.all.push_back(r.length); };
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n =
            std::min<std::size_t>(rng() % 3 == 0 ? 1 : rng() % 300, stream.size() - at);
        cutter.Feed(std::span(stream).subspan(at, n), take);
        every.FeedAll(std::span(stream).subspan(at, n), any);
        at += n;
    }
    cutter.Finish(take);
    every.FinishAll(any);
    cut.damaged = cutter.Damaged();
    cut.leading = cutter.Leading();
    cut.surplus = cutter.Surplus();
    cut.trailing = cutter.Trailing();
    cut.consumed = cutter.Consumed();
    EXPECT_EQ(cutter.Records(), cut.records.size());
    return cut;
}

TEST(RecordCutter, WellFormedStreamsGiveExactlyTheFixedSizeRecords) {
    std::mt19937 rng(7);
    for (std::size_t size : {std::size_t{68}, std::size_t{72}}) {
        for (int round = 0; round < 40; ++round) {
            std::vector<Bytes> cycles;
            Bytes stream;
            for (int k = static_cast<int>(rng() % 60); k > 0; --k) {
                cycles.push_back(Cycle(rng, size - 4));
                stream.insert(stream.end(), cycles.back().begin(), cycles.back().end());
            }
            const Bytes tail = Cycle(rng, size - 4);
            const std::size_t partial = rng() % size;
            stream.insert(stream.end(), tail.begin(), tail.begin() + partial);

            // The first bytes of an echo that never finished stay with the cycle before.
            if (partial < 4 && !cycles.empty())
                cycles.back().insert(cycles.back().end(), tail.begin(), tail.begin() + partial);
            const Cut cut = CutStream(stream, size, rng);
            ASSERT_EQ(cut.records, cycles) << "round " << round;
            for (std::size_t k = 0; k < cut.indexes.size(); ++k)
                EXPECT_EQ(cut.indexes[k], k);
            EXPECT_EQ(cut.damaged, 0U);
            EXPECT_EQ(cut.leading + cut.surplus, partial < 4 ? partial : 0);
            // A partial last cycle is trailing once its echo is whole; before, its first
            // bytes stay with the record they follow.
            EXPECT_EQ(cut.trailing, partial >= 4 ? partial : 0);
            EXPECT_EQ(cut.consumed, stream.size() - cut.trailing);
        }
    }
}

// Damage of every kind costs at most the cycle it lies in: the other cycles keep their bytes
// and their numbers, which count the echoes.
TEST(RecordCutter, DamageCostsOnlyTheCycleItLiesIn) {
    std::mt19937 rng(11);
    constexpr std::size_t size = 68;
    std::vector<Bytes> cycles;
    for (int k = 0; k < 6; ++k)
        cycles.push_back(Cycle(rng, size - 4));
    struct Damage {
        const char* what;
        Bytes before3;            // inserted ahead of cycle 3's echo
        std::size_t keep3 = size; // cycle 3 cut to this many bytes
        bool whole3 = true;       // cycle 3 still handed on
        std::uint64_t surplus = 0;
    };
    Bytes near = {0xF4, 0x56, 0x01, 0xF4, 0x56, 0xF4};
    const std::vector<Damage> damages{
        {"a stray byte ahead of an echo", {0x00}, size, true, 1},
        {"5000 zeros ahead of an echo", Bytes(5000, 0x00), size, true, 5000},
        {"near-echoes ahead of an echo", near, size, true, near.size()},
        {"an answer cut short", {}, 30, false, 0},
        {"an echo alone", {}, 4, false, 0},
        {"the first bytes of an echo alone", {0xF4, 0x56, 0x01}, size, true, 3},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        Bytes stream;
        for (std::size_t k = 0; k < cycles.size(); ++k) {
            if (k == 3)
                stream.insert(stream.end(), d.before3.begin(), d.before3.end());
            const std::size_t keep = k == 3 ? d.keep3 : size;
            stream.insert(stream.end(), cycles[k].begin(), cycles[k].begin() + keep);
        }
        const Cut cut = CutStream(stream, size, rng);
        std::vector<Bytes> expected;
        std::vector<std::uint64_t> numbers;
        for (std::size_t k = 0; k < cycles.size(); ++k) {
            if (k == 3 && !d.whole3)
                continue;
            expected.push_back(cycles[k]);
            numbers.push_back(k);
        }
        // Whatever lies between two cycles stays with the one before it.
        if (d.surplus != 0) {
            expected[2].insert(expected[2].end(), d.before3.begin(), d.before3.end());
            expected[2].resize(std::min(expected[2].size(), ecu::RecordCutter::kKeep));
        }
        EXPECT_EQ(cut.records, expected);
        EXPECT_EQ(cut.indexes, numbers);
        EXPECT_EQ(cut.damaged, d.whole3 ? 0U : 1U);
        EXPECT_EQ(cut.surplus, d.surplus);
    }
}

TEST(RecordCutter, AStretchWithoutAnEchoGivesNoRecordAndStaysInBoundedMemory) {
    std::mt19937 rng(3);
    const Bytes first = Cycle(rng, 64);
    const Bytes last = Cycle(rng, 64);
    Bytes stream(100000, 0x00);
    const Cut none = CutStream(stream, 68, rng);
    EXPECT_TRUE(none.records.empty());
    EXPECT_TRUE(none.all.empty());
    EXPECT_EQ(none.leading, stream.size());
    EXPECT_EQ(none.consumed, stream.size());

    stream.insert(stream.begin(), first.begin(), first.end());
    stream.insert(stream.end(), last.begin(), last.end());
    const Cut cut = CutStream(stream, 68, rng);
    ASSERT_EQ(cut.records.size(), 2U);
    EXPECT_EQ(cut.indexes, (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(cut.records[0].size(), ecu::RecordCutter::kKeep) << "only the head is kept";
    EXPECT_TRUE(std::equal(first.begin(), first.end(), cut.records[0].begin()));
    EXPECT_EQ(cut.all, (std::vector<std::uint64_t>{68 + 100000, 68}));
    EXPECT_EQ(cut.records[1], last);
    EXPECT_EQ(cut.surplus, 100000U);
}

// Five whole cycles and a sixth cut short: the variant's size gives five records and leaves
// the last 67 bytes trailing; with no variant selected no record is whole.
TEST(RecordCutter, CutsAtTheSelectedVariantsSize) {
    std::mt19937 rng(13);
    Bytes stream;
    for (int k = 0; k < 6; ++k) {
        const Bytes cycle = Cycle(rng, 64);
        stream.insert(stream.end(), cycle.begin(), cycle.begin() + (k < 5 ? 68 : 67));
    }
    const Cut sohc = CutStream(stream, ecu::RecordSize(ecu::EngineVariant::Sohc), rng);
    EXPECT_EQ(sohc.records.size(), 5U);
    EXPECT_EQ(sohc.damaged, 0U);
    EXPECT_EQ(sohc.trailing, 67U);
    const Cut none = CutStream(stream, ecu::RecordSize(ecu::EngineVariant::None), rng);
    EXPECT_TRUE(none.records.empty());
    EXPECT_EQ(none.damaged, 5U);
    EXPECT_EQ(none.trailing, 67U);
}

TEST(RecordCutter, NoRecordSizeMakesNoRecordWhole) {
    std::mt19937 rng(5);
    Bytes stream = Cycle(rng, 64);
    stream.insert(stream.end(), stream.begin(), stream.end());
    const Cut cut = CutStream(stream, 0, rng);
    EXPECT_TRUE(cut.records.empty());
    EXPECT_EQ(cut.damaged, 1U);
    EXPECT_EQ(cut.trailing, 68U);
}

TEST(VariantGuess, TheSizeMoreRecordsHaveExactlyOrNothingOnATie) {
    std::mt19937 rng(9);
    struct Case {
        const char* what;
        std::vector<std::size_t> lengths; // of the cycles, in order
        std::optional<ecu::EngineVariant> variant;
    };
    const std::vector<Case> cases{
        {"one DOHC cycle", {72}, ecu::EngineVariant::Dohc},
        {"one SOHC cycle", {68}, ecu::EngineVariant::Sohc},
        {"SOHC with a stray byte", {68, 69, 68}, ecu::EngineVariant::Sohc},
        {"neither size", {70, 30}, std::nullopt},
        {"a tie", {68, 72}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes stream;
        for (std::size_t length : c.lengths) {
            const Bytes cycle = Cycle(rng, length - 4);
            stream.insert(stream.end(), cycle.begin(), cycle.end());
        }
        ecu::VariantGuess guess;
        guess.Feed(std::span(stream).first(stream.size() / 2));
        guess.Feed(std::span(stream).subspan(stream.size() / 2));
        guess.Finish();
        EXPECT_EQ(guess.Variant(), c.variant);
    }
}

} // namespace

// The playback's index: where each whole record lies and where the progress bar stands
// after it, on a stream with leading noise, a damaged cycle, surplus bytes and a partial end.
TEST(RecordIndex, LocatesEachWholeRecordAndMapsTheBarBothWays) {
    std::mt19937 rng(7);
    Bytes stream = {0x11, 0x22, 0x33}; // 3 bytes before the first echo
    const std::size_t at0 = stream.size();
    for (const auto& part : {Cycle(rng, 64), Cycle(rng, 10), Cycle(rng, 64)})
        stream.insert(stream.end(), part.begin(), part.end()); // whole, damaged, whole
    stream.push_back(0x42);                                    // surplus after record 2
    const std::size_t at2 = at0 + 68 + 14;
    const auto partial = Cycle(rng, 20);
    stream.insert(stream.end(), partial.begin(), partial.end());

    ecu::RecordIndex index(68);
    for (std::size_t i = 0; i < stream.size(); i += 5)
        index.Feed(std::span(stream).subspan(i, std::min<std::size_t>(5, stream.size() - i)));
    index.Finish();

    ASSERT_EQ(index.Count(), 2U);
    EXPECT_EQ(index.At(0).offset, at0);
    EXPECT_EQ(index.At(0).length, 68U);
    EXPECT_EQ(index.At(1).offset, at2);
    EXPECT_EQ(index.At(1).length, 69U);
    EXPECT_EQ(index.ReadLength(1), 69U);
    // The bar counts the bytes settled: the leading ones and the damaged cycle too.
    EXPECT_EQ(index.ProgressAfter(0), (at0 + 68) / 68);
    EXPECT_EQ(index.ProgressAfter(1), (at2 + 69) / 68);
    const struct {
        std::uint64_t value;
        std::size_t record;
    } seeks[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {1000, 1}};
    for (const auto& seek : seeks)
        EXPECT_EQ(index.RecordAtProgress(seek.value), seek.record) << "bar at " << seek.value;
}
