#include "record/Records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

// A recorded cycle: the echoed request, then answer bytes that never hold F4.
Bytes Cycle(std::mt19937& rng, std::size_t size, std::uint8_t mode = 0x01) {
    Bytes r(size);
    for (auto& b : r)
        b = static_cast<std::uint8_t>(rng() % 0xF0);
    r[0] = 0xF4;
    r[1] = 0x56;
    r[2] = mode;
    r[3] = static_cast<std::uint8_t>(0xB6 - mode);
    return r;
}

struct Cut {
    std::vector<Bytes> records;
    std::vector<std::uint64_t> indexes;
    std::uint64_t damaged = 0;
    std::size_t pending = 0;
};

// Feeds the stream in random pieces (single bytes included) and finishes it.
Cut Resync(const Bytes& stream, std::size_t size, std::mt19937& rng) {
    ecu::RecordResync cutter(size);
    Cut cut;
    const auto take = [&](std::span<const std::uint8_t> r, std::uint64_t index) {
        cut.records.emplace_back(r.begin(), r.end());
        cut.indexes.push_back(index);
    };
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n =
            std::min<std::size_t>(rng() % 3 == 0 ? 1 : rng() % 300, stream.size() - at);
        cutter.Feed(std::span(stream).subspan(at, n), take);
        at += n;
    }
    cutter.Finish(take);
    cut.damaged = cutter.Damaged();
    cut.pending = cutter.Pending();
    EXPECT_EQ(cutter.Records(), cut.records.size());
    return cut;
}

TEST(RecordResync, WellFormedStreamsGiveExactlyTheFixedSizeRecords) {
    std::mt19937 rng(7);
    for (std::size_t size : {std::size_t{68}, std::size_t{72}}) {
        for (int round = 0; round < 40; ++round) {
            Bytes stream;
            const int cycles = static_cast<int>(rng() % 60);
            for (int k = 0; k < cycles; ++k) {
                // Now and then another request's cycle: a record like any other.
                const Bytes c = Cycle(rng, size, rng() % 10 == 0 ? 0x02 : 0x01);
                stream.insert(stream.end(), c.begin(), c.end());
            }
            const Bytes tail = Cycle(rng, size);
            stream.insert(stream.end(), tail.begin(), tail.begin() + rng() % size);
            if (round % 8 == 0)
                stream.assign(stream.size(), 0x00); // no echo anywhere

            ecu::RecordCutter fixed(size);
            std::vector<Bytes> expected;
            fixed.Feed(stream, [&](std::span<const std::uint8_t> r) {
                expected.emplace_back(r.begin(), r.end());
            });
            const Cut cut = Resync(stream, size, rng);
            ASSERT_EQ(cut.records, expected) << "round " << round;
            EXPECT_EQ(cut.damaged, 0U);
            EXPECT_EQ(cut.pending, fixed.Pending());
            for (std::size_t k = 0; k < cut.indexes.size(); ++k)
                EXPECT_EQ(cut.indexes[k], k);
        }
    }
}

TEST(RecordResync, ADamagedCycleIsSkippedAndTheRestKeepTheirPlaceAndNumber) {
    std::mt19937 rng(11);
    constexpr std::size_t size = 68;
    std::vector<Bytes> cycles;
    for (int k = 0; k < 8; ++k)
        cycles.push_back(Cycle(rng, size));
    struct Damage {
        const char* what;
        std::size_t cycle;
        std::function<void(Bytes&)> apply;
    };
    const std::vector<Damage> damages{
        {"answer cut short", 2, [](Bytes& c) { c.resize(30); }},
        {"echo only", 3, [](Bytes& c) { c.resize(4); }},
        {"stray byte inside", 1, [](Bytes& c) { c.insert(c.begin() + 40, 0x00); }},
        {"stray bytes at the end", 4,
         [](Bytes& c) {
             c.insert(c.end(), {0x33, 0x44});
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        Bytes stream;
        for (std::size_t k = 0; k < cycles.size(); ++k) {
            Bytes c = cycles[k];
            if (k == d.cycle)
                d.apply(c);
            stream.insert(stream.end(), c.begin(), c.end());
        }
        const Cut cut = Resync(stream, size, rng);
        EXPECT_EQ(cut.damaged, 1U);
        ASSERT_EQ(cut.records.size(), cycles.size() - 1);
        std::size_t r = 0;
        for (std::size_t k = 0; k < cycles.size(); ++k) {
            if (k == d.cycle)
                continue;
            EXPECT_EQ(cut.records[r], cycles[k]) << "cycle " << k;
            EXPECT_EQ(cut.indexes[r], k) << "a skipped cycle keeps its number";
            ++r;
        }
    }

    // Bytes before the first echo are a damaged stretch of their own; every cycle stays.
    Bytes stream(5, 0x11);
    for (const Bytes& c : cycles)
        stream.insert(stream.end(), c.begin(), c.end());
    const Cut cut = Resync(stream, size, rng);
    EXPECT_EQ(cut.damaged, 1U);
    EXPECT_EQ(cut.records, cycles);

    // After the last cycle there is no echo to cut at: a stray byte there is trailing.
    stream.push_back(0x22);
    const Cut last = Resync(stream, size, rng);
    EXPECT_EQ(last.records, cycles);
    EXPECT_EQ(last.pending, 1U);
}

// Playback pulls records while it reads the file a record at a time; bytes arriving that
// way, or one at a time, are cut as the whole stream fed at once is, wherever an echo, a
// near-echo or the end of the reach falls between two pieces.
TEST(RecordResync, PulledInPiecesCutsAsTheWholeStreamFedAtOnce) {
    std::mt19937 rng(5);
    constexpr std::size_t size = 68;
    const Bytes echo(ecu::DataRequest.begin(), ecu::DataRequest.end());
    for (int round = 0; round < 30; ++round) {
        Bytes stream;
        while (stream.size() < 3 * ecu::RecordResync::kResyncReach) {
            switch (rng() % 6) {
            case 0: // a stretch without an echo, now and then past the reach
                stream.insert(stream.end(), rng() % 2 == 0 ? rng() % 300 : rng() % 5000, 0x00);
                break;
            case 1: // a near-echo, or an echo right after an F4
                stream.insert(stream.end(), {0xF4, 0x56, 0x01});
                stream.push_back(rng() % 2 == 0 ? 0xF4 : 0x00);
                break;
            case 2:
                stream.insert(stream.end(), echo.begin(), echo.end());
                break;
            default: {
                const Bytes c = Cycle(rng, size);
                stream.insert(stream.end(), c.begin(), c.begin() + rng() % (size + 1));
            }
            }
        }
        Cut whole;
        ecu::RecordResync fed(size);
        const auto take = [&](std::span<const std::uint8_t> r, std::uint64_t) {
            whole.records.emplace_back(r.begin(), r.end());
        };
        fed.Feed(stream, take);
        fed.Finish(take);

        const std::size_t piece = round % 3 == 0 ? 1 : size;
        ecu::RecordResync pulled(size);
        std::vector<Bytes> records;
        for (std::size_t at = 0;;) {
            for (auto r = pulled.Next(); !r.empty(); r = pulled.Next())
                records.emplace_back(r.begin(), r.end());
            if (pulled.Ended())
                break;
            if (at == stream.size()) {
                pulled.End();
                continue;
            }
            const std::size_t n = std::min(piece, stream.size() - at);
            pulled.Push(std::span(stream).subspan(at, n));
            at += n;
        }
        ASSERT_EQ(records, whole.records) << "round " << round;
        EXPECT_EQ(pulled.Damaged(), fed.Damaged());
        EXPECT_EQ(pulled.Consumed(), fed.Consumed());
        EXPECT_EQ(pulled.Pending(), fed.Pending());
    }
}

TEST(RecordResync, WithoutAnEchoWithinReachTheFixedSizeStands) {
    std::mt19937 rng(3);
    const Bytes first = Cycle(rng, 68);
    Bytes stream = first;
    stream.insert(stream.end(), ecu::RecordResync::kResyncReach + 200, 0x00);
    const Bytes late = Cycle(rng, 68);
    stream.insert(stream.end(), late.begin(), late.end());
    const Cut cut = Resync(stream, 68, rng);
    ASSERT_GT(cut.records.size(), 2U);
    EXPECT_EQ(cut.records[0], first);
    EXPECT_EQ(cut.records[1], Bytes(68, 0x00));
    // Once the echo is within reach, the rest of the stretch is one damaged record.
    EXPECT_EQ(cut.damaged, 1U);
    EXPECT_EQ(cut.records.back(), late);

    // An echo that begins one byte past the first record's reach is found by the next one.
    Bytes edge = first;
    edge.resize(68 + ecu::RecordResync::kResyncReach + 1, 0x00);
    edge.insert(edge.end(), late.begin(), late.end());
    const Cut edgeCut = Resync(edge, 68, rng);
    EXPECT_EQ(edgeCut.records, (std::vector<Bytes>{first, late}));
    EXPECT_EQ(edgeCut.damaged, 1U);
}

} // namespace
