// ecu-csv end to end: the real binary on recordings written here.
#include "ChildProcess.h"
#include "link/Decode.h"
#include "ui/CsvRow.h"
#include "wire/Frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using ecu::ByteString;

using Result = ecu::test::ChildResult;

class EcuCsv : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ecu-csv-test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const ByteString& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    enum class Closed { None, InputAndOutput };

    // Runs ecu-csv with args; stdin from a pipe fed with `input`, `repeat` times over; stdout
    // to `outPath` when given (otherwise captured); or with stdin and stdout closed.
    static Result Run(const std::vector<std::string>& args, const ByteString& input = {},
                      const std::string& outPath = "", Closed closed = Closed::None,
                      std::size_t repeat = 1) {
        ecu::test::ChildOptions options;
        options.in = ecu::test::Stream::Pipe();
        if (!outPath.empty())
            options.out = ecu::test::Stream::File(outPath);
        if (closed == Closed::InputAndOutput)
            options.in = options.out = ecu::test::Stream::Closed();
        ecu::test::ChildProcess tool(ECU_CSV_PATH, args, options);
        for (std::size_t round = 0; round < repeat && !input.empty(); ++round)
            EXPECT_TRUE(tool.Write(input.data(), input.size())) << "round " << round;
        tool.CloseInput();
        Result r;
        r.exitCode = tool.WaitForExit(kRunLimitMs).value_or(-1);
        r.out = tool.Output();
        r.err = tool.Errors();
        r.peakKiB = tool.PeakKiB();
        return r;
    }

    static constexpr int kRunLimitMs = 120000;
    std::string dir_;
};

// Makes the record's last byte its answer's checksum again after its bytes changed.
void Seal(ByteString& r) {
    r.back() = ecu::FrameChecksum(r.data() + ecu::EchoLength, r.size() - ecu::EchoLength - 1);
}

// One exchange as recorded: echo, answer header, data bytes all `fill`, checksum.
ByteString Record(std::size_t size, std::uint8_t fill, std::uint8_t mode = 0x01) {
    const auto lengthByte = static_cast<std::uint8_t>(ecu::LengthByteBase + size - 7);
    ByteString r = {0xF4, 0x56, mode, 0xB5, 0xF4, lengthByte, 0x01};
    r.resize(size, fill);
    Seal(r);
    return r;
}

ByteString Concat(std::initializer_list<ByteString> parts) {
    ByteString all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// What ecu-csv must print: the records decoded in order into one EngineData.
std::string ExpectedCsv(const std::vector<ByteString>& records, ecu::EngineVariant variant,
                        ecu::CsvFormat format) {
    std::string csv = ecu::CsvHeader();
    ecu::EngineData data;
    for (std::size_t k = 0; k < records.size(); ++k) {
        ByteString rx = records[k];
        const bool decoded = ecu::DecodeExchange(rx, data, variant);
        csv += ecu::CsvRow(k, decoded, data, format);
    }
    return csv;
}

TEST_F(EcuCsv, ExportsEveryCompleteRecordAndNotesThePartialOne) {
    const auto r0 = Record(68, 0x20);
    const auto r1 = Record(68, 0x90);
    const auto r2 = Record(68, 0xFF);
    ByteString partial = Record(68, 0x11);
    partial.resize(10);
    const std::string file = Write("s.bin", Concat({r0, r1, r2, partial}));

    const Result r = Run({"--variant", "sohc", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv({r0, r1, r2}, ecu::EngineVariant::Sohc, ecu::CsvFormat::Exact));
    EXPECT_EQ(r.err, "ecu-csv: trailing partial record of 10 bytes not decoded\n");
}

TEST_F(EcuCsv, DisplayFormatAndDohcRecords) {
    auto r0 = Record(72, 0x01);
    const auto r1 = Record(72, 0x37);
    const std::string file = Write("d.bin", Concat({r0, r1}));
    const Result r = Run({"--format=display", "--variant=dohc", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv({r0, r1}, ecu::EngineVariant::Dohc, ecu::CsvFormat::Display));
    // Coolant byte 1 is -39.25 °C, shown as on the page.
    EXPECT_NE(r.out.find("\n0,1,257,-39.3,1,-39.3,1, 0,1,"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(EcuCsv, AutoPicksTheSizeMoreRecordsHaveOrAsksForTheVariant) {
    std::vector<ByteString> dohc(5, Record(72, 0x40));
    const std::string dohcFile =
        Write("d.bin", Concat({dohc[0], dohc[1], dohc[2], dohc[3], dohc[4]}));
    Result r = Run({dohcFile});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(dohc, ecu::EngineVariant::Dohc, ecu::CsvFormat::Exact));
    EXPECT_NE(r.err.find("variant DOHC (72-byte records)"), std::string::npos) << r.err;

    std::vector<ByteString> sohc(6, Record(68, 0x40));
    const std::string sohcFile =
        Write("s.bin", Concat({sohc[0], sohc[1], sohc[2], sohc[3], sohc[4], sohc[5]}));
    r = Run({"--variant", "auto", sohcFile});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(sohc, ecu::EngineVariant::Sohc, ecu::CsvFormat::Exact));
    EXPECT_NE(r.err.find("variant SOHC (68-byte records)"), std::string::npos) << r.err;

    // One DOHC cycle is enough; bytes that hold neither size ask for the variant.
    r = Run({Write("one.bin", dohc[0])});
    EXPECT_EQ(r.out, ExpectedCsv({dohc[0]}, ecu::EngineVariant::Dohc, ecu::CsvFormat::Exact));
    ByteString cut = dohc[0];
    cut.resize(70);
    for (const ByteString& bytes : {cut, ByteString(std::size_t{68} * 72, 0x00)}) {
        r = Run({Write("n.bin", bytes)});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("cannot tell SOHC from DOHC"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("give --variant sohc or --variant dohc"), std::string::npos) << r.err;
    }
}

TEST_F(EcuCsv, ReadsAPipeOnStandardInput) {
    std::vector<ByteString> dohc(3, Record(72, 0x66));
    const ByteString bytes = Concat({dohc[0], dohc[1], dohc[2]});
    const Result r = Run({"-"}, bytes);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(dohc, ecu::EngineVariant::Dohc, ecu::CsvFormat::Exact));
}

// Where a layout keeps the fields the long export checks, as offsets into the answer.
struct Layout {
    std::size_t recordSize;
    std::size_t faults, rpm, speed;
};
constexpr Layout kSohc{68, 5, 11, 14};
constexpr Layout kDohc{72, 7, 15, 17};

// Record k of a long recording: its own PROM id, fault bytes, engine speed and road speed;
// every 97th is cut short and must leave its row out.
bool CutShort(unsigned k) {
    return k % 97 == 96;
}

ByteString LongRecord(const Layout& layout, unsigned k) {
    ByteString r = Record(layout.recordSize, 0x37);
    const std::size_t answer = 4;
    r[answer + 3] = static_cast<std::uint8_t>(k >> 8);
    r[answer + 4] = static_cast<std::uint8_t>(k);
    r[answer + layout.faults] = static_cast<std::uint8_t>(k);
    r[answer + layout.faults + 1] = static_cast<std::uint8_t>(k * 3);
    r[answer + layout.rpm] = static_cast<std::uint8_t>(k * 7);
    r[answer + layout.speed] = static_cast<std::uint8_t>(k * 11);
    Seal(r);
    if (CutShort(k))
        r.resize(layout.recordSize / 2);
    return r;
}

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(at, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Checks the rows of LongRecord(0..count) field by field, from the layout alone.
void CheckLongExport(const std::string& out, unsigned count) {
    std::vector<std::string> lines = Split(out, '\n');
    ASSERT_EQ(lines.back(), "");
    lines.pop_back();
    ASSERT_EQ(lines.size(), count - count / 97 + 1U);
    const std::vector<std::string> header = Split(lines[0], ',');
    const auto column = [&header](const char* name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) -
                                        header.begin());
    };
    const std::size_t prom = column("PromID"), text = column("ErrorText"),
                      rpm = column("RPMengine"), rpmRaw = column("RPMengineRaw"),
                      speed = column("Speed");
    ASSERT_LT(std::max({prom, text, rpm, rpmRaw, speed}), header.size());
    std::size_t line = 1;
    for (unsigned k = 0; k < count; ++k) {
        if (CutShort(k))
            continue;
        const std::vector<std::string> f = Split(lines[line++], ',');
        ASSERT_EQ(f.size(), header.size()) << "row " << k;
        char faults[8];
        std::snprintf(faults, sizeof faults, "%02X%02X", k & 0xFFU, (k * 3) & 0xFFU);
        ASSERT_EQ(f[0], std::to_string(k));
        ASSERT_EQ(f[1], "1") << "row " << k;
        ASSERT_EQ(f[prom], std::to_string(k & 0xFFFFU)) << "row " << k;
        ASSERT_EQ(f[text], faults) << "row " << k;
        ASSERT_EQ(f[rpmRaw], std::to_string((k * 7) & 0xFFU)) << "row " << k;
        ASSERT_EQ(f[rpm], std::to_string(25 * ((k * 7) & 0xFFU))) << "row " << k;
        ASSERT_EQ(f[speed], std::to_string((k * 11) & 0xFFU)) << "row " << k;
    }
}

// A whole record whose answer is not well formed keeps its row, marked not decoded with the
// values before it, and is counted; a DOHC recording read as SOHC decodes nothing.
TEST_F(EcuCsv, RecordsWithoutAWellFormedAnswerAreMarkedAndCounted) {
    const auto good = Record(68, 0x20);
    auto badSum = Record(68, 0x90);
    ++badSum.back();
    const Result r = Run({"--variant", "sohc", Write("s.bin", Concat({good, badSum, good}))});
    EXPECT_EQ(r.exitCode, 0);
    const std::vector<std::string> rows = Split(r.out, '\n');
    ASSERT_EQ(rows.size(), 5U) << r.out;
    EXPECT_EQ(rows[2].substr(0, 4), "1,0,");
    EXPECT_EQ(rows[2].substr(4), rows[1].substr(4)) << "the values before it stay";
    EXPECT_EQ(rows[3].substr(0, 4), "2,1,");
    EXPECT_EQ(r.err, "ecu-csv: 1 record without a well-formed answer not decoded\n");

    std::vector<ByteString> dohc(3, Record(72, 0x40));
    const Result wrong =
        Run({"--variant", "sohc", Write("d.bin", Concat({dohc[0], dohc[1], dohc[2]}))});
    EXPECT_EQ(wrong.out.find(",1,"), std::string::npos) << wrong.out;
    EXPECT_NE(wrong.err.find("3 records without a well-formed answer"), std::string::npos)
        << wrong.err;
}

// Several output blocks and, through a pipe, input well past the part read to guess the
// variant: every row arrives once, in order, with its own record's values.
TEST_F(EcuCsv, LongExportsKeepEveryRowInOrderFromAFileAndFromAPipe) {
    constexpr unsigned kCount = 10000; // DOHC rows are short: ~120 bytes
    for (const Layout& layout : {kSohc, kDohc}) {
        ByteString bytes;
        for (unsigned k = 0; k < kCount; ++k) {
            const ByteString r = LongRecord(layout, k);
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        const std::string variant = layout.recordSize == 68 ? "sohc" : "dohc";
        const Result file = Run({"--variant", variant, Write("long.bin", bytes)});
        EXPECT_EQ(file.exitCode, 0) << file.err;
        ASSERT_GT(file.out.size(), std::size_t{1} << 20) << variant << ": one output block";
        CheckLongExport(file.out, kCount);

        const Result pipe = Run({"-"}, bytes);
        EXPECT_EQ(pipe.exitCode, 0) << pipe.err;
        EXPECT_EQ(pipe.out, file.out) << variant;
    }
}

// A partial answer costs its own cycle only and a stray byte after an answer none: the rows
// after them keep their values and their cycle numbers, from a file and from a pipe alike.
TEST_F(EcuCsv, DamagedCyclesAreSkippedCountedAndShiftNothing) {
    std::vector<ByteString> r;
    for (std::uint8_t k = 0; k < 6; ++k) {
        r.push_back(Record(68, static_cast<std::uint8_t>(0x10 * (k + 1))));
    }
    ByteString cut = r[1];
    cut.resize(40);
    ByteString stray = r[3];
    stray.push_back(0x00);
    const ByteString bytes = Concat({r[0], cut, r[2], stray, r[4], r[5]});

    std::string expected = ecu::CsvHeader();
    ecu::EngineData data;
    for (std::size_t k : {0, 2, 3, 4, 5}) {
        ByteString rx = r[k];
        const bool decoded = ecu::DecodeExchange(rx, data, ecu::EngineVariant::Sohc);
        expected += ecu::CsvRow(k, decoded, data, ecu::CsvFormat::Exact);
    }
    const std::string skipped =
        "ecu-csv: 1 damaged record skipped\necu-csv: 1 byte after whole answers skipped\n";
    const Result file = Run({"--variant", "sohc", Write("damaged.bin", bytes)});
    EXPECT_EQ(file.exitCode, 0);
    EXPECT_EQ(file.out, expected);
    EXPECT_EQ(file.err, skipped);

    const Result pipe = Run({"-"}, bytes);
    EXPECT_EQ(pipe.out, expected);
    EXPECT_NE(pipe.err.find("variant SOHC"), std::string::npos) << pipe.err;
    EXPECT_NE(pipe.err.find(skipped), std::string::npos) << pipe.err;
}

// Damage of each kind at the start, in the middle and at the end of a recording, against
// the rows of the undamaged one: a cycle is lost only to damage inside it, and no row is
// made of bytes that were not one whole cycle. Every cycle holds F4 56 where the fixed size
// of a cycle cut 8 bytes short lands, as line noise may.
TEST_F(EcuCsv, DamageCostsOnlyTheCycleItLiesInAndRowsFollowTheEchoes) {
    constexpr std::size_t kCycles = 8;
    std::vector<ByteString> cycles;
    for (unsigned k = 0; k < kCycles; ++k) {
        cycles.push_back(LongRecord(kSohc, k + 1));
        cycles.back()[8] = 0xF4;
        cycles.back()[9] = 0x56;
        Seal(cycles.back());
    }
    std::mt19937 rng(17);
    const auto noise = [&rng](std::size_t n) {
        ByteString bytes(n);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng() % 0xF4); // no device byte: no echo by chance
        return bytes;
    };
    enum class Lost { None, Cycle, Echo }; // what the damage costs the cycle it hits
    struct Damage {
        const char* what;
        Lost lost;
        std::function<void(std::vector<ByteString>&, std::size_t)> apply;
    };
    const auto before = [](ByteString bytes) {
        return [bytes](std::vector<ByteString>& c, std::size_t k) {
            if (k == c.size())
                c.back().insert(c.back().end(), bytes.begin(), bytes.end());
            else
                c[k].insert(c[k].begin(), bytes.begin(), bytes.end());
        };
    };
    const std::vector<Damage> damages{
        {"a stray byte before an echo", Lost::None, before({0x00})},
        {"20 garbage bytes before an echo", Lost::None, before(noise(20))},
        {"5000 zeros before an echo", Lost::None, before(ByteString(5000, 0x00))},
        {"5000 random bytes before an echo", Lost::None, before(noise(5000))},
        {"8 bytes cut from the answer", Lost::Cycle,
         [](std::vector<ByteString>& c, std::size_t k) {
             c[k].erase(c[k].begin() + 30, c[k].begin() + 38);
         }},
        {"the answer cut in half", Lost::Cycle,
         [](std::vector<ByteString>& c, std::size_t k) { c[k].resize(36); }},
        {"no answer", Lost::Cycle,
         [](std::vector<ByteString>& c, std::size_t k) { c[k].resize(4); }},
        {"no echo", Lost::Echo,
         [](std::vector<ByteString>& c, std::size_t k) {
             c[k].erase(c[k].begin(), c[k].begin() + 4);
         }},
    };
    for (const Damage& d : damages) {
        const std::size_t last = d.lost == Lost::None ? kCycles : kCycles - 1;
        for (const std::size_t at : {std::size_t{0}, std::size_t{3}, last}) {
            SCOPED_TRACE(std::string(d.what) + " at cycle " + std::to_string(at));
            std::vector<ByteString> damaged = cycles;
            d.apply(damaged, at);
            ByteString bytes;
            for (const ByteString& c : damaged)
                bytes.insert(bytes.end(), c.begin(), c.end());

            // The undamaged rows, less the cycle hit; after a lost echo the numbers close up.
            std::string expected = ecu::CsvHeader();
            ecu::EngineData data;
            std::size_t number = 0;
            for (std::size_t k = 0; k < kCycles; ++k) {
                if (k == at && d.lost == Lost::Echo)
                    continue;
                if (!(k == at && d.lost == Lost::Cycle)) {
                    ByteString rx = cycles[k];
                    const bool decoded = ecu::DecodeExchange(rx, data, ecu::EngineVariant::Sohc);
                    expected += ecu::CsvRow(number, decoded, data, ecu::CsvFormat::Exact);
                }
                ++number;
            }
            const Result r = Run({"--variant", "sohc", Write("d.bin", bytes)});
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_EQ(r.out, expected) << r.err;
        }
    }
}

// An endless stretch without an echo (/dev/zero) gives no row and is streamed.
TEST_F(EcuCsv, ZerosFromAPipeGiveNoRow) {
    const Result r =
        Run({"--variant", "sohc", "-"}, ByteString(1 << 20, 0x00), "", Closed::None, 16);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ecu::CsvHeader());
    EXPECT_EQ(r.err, "ecu-csv: 16777216 bytes before the first echo skipped\n");
}

TEST_F(EcuCsv, EmptyFileGivesTheHeaderOnly) {
    const Result r = Run({"--variant", "sohc", Write("e.bin", {})});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ecu::CsvHeader());
    EXPECT_EQ(r.err, "");
}

TEST_F(EcuCsv, UnreadableInputIsOneLineWithTheNameAndTheSystemText) {
    const std::string missing = dir_ + "/missing.bin";
    Result r = Run({missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ecu-csv: " + missing + ": " + std::strerror(ENOENT) + "\n");

    r = Run({"--variant", "dohc", dir_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-csv: " + dir_ + ": " + std::strerror(EISDIR) + "\n");
}

TEST_F(EcuCsv, FailedOutputIsAnError) {
    const std::string file = Write("s.bin", Record(68, 0x20));
    const Result r = Run({"--variant", "sohc", file}, {}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string("ecu-csv: standard output: ") + std::strerror(ENOSPC) + "\n");
}

TEST_F(EcuCsv, BadUsageNamesTheRefusedArgumentAndPrintsTheUsage) {
    const std::string file = Write("s.bin", Record(68, 0x20));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no FILE.bin given"},
        {{"--variant", "v8", file}, "--variant takes sohc, dohc or auto, not \"v8\""},
        {{"--format=json", file}, "--format takes exact or display, not \"json\""},
        {{"--colour", "red", file}, "unknown option --colour"},
        {{file, "b.bin"}, "unexpected argument \"b.bin\": one FILE.bin only"},
        {{file, "--variant"}, "--variant takes sohc, dohc or auto"},
        {{"--variant", "sohc"}, "no FILE.bin given"}};
    for (const auto& [args, message] : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("ecu-csv: " + message + "\n\nusage: ecu-csv [--variant", 0), 0U)
            << r.err;
    }
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: ecu-csv", 0), 0U);
}

// Started with standard input and output closed, the recording must not take either's place:
// the rows would go to the input file (or nowhere) and the export fail.
TEST_F(EcuCsv, ClosedStandardDescriptorsAreFilledWithDevNull) {
    const std::string file = Write("s.bin", Record(68, 0x20));
    const Result r = Run({"--variant", "sohc", file}, {}, "", Closed::InputAndOutput);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
}

// A pipe is guessed from its start and then streamed: memory stays flat however much comes.
TEST_F(EcuCsv, AutoOnAPipeStreamsWithFlatMemory) {
    // Fed in rounds, so that the child forked from this process starts small: its peak counts
    // what the parent had at the fork.
    ByteString bytes;
    for (unsigned k = 0; k < 1000; ++k) {
        const ByteString r = LongRecord(kDohc, k);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    const std::size_t rounds = (std::size_t{96} << 20) / bytes.size();
    const Result r = Run({"-"}, bytes, "/dev/null", Closed::None, rounds);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("variant DOHC (72-byte records)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("partial record"), std::string::npos) << r.err;
    // Blocks and buffers of about a mebibyte each; the whole input would be 96.
    EXPECT_LT(r.peakKiB, 48 * 1024) << "peak resident set in KiB";
}

} // namespace
