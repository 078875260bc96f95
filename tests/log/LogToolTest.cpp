// ecu-log run as a process against the simulator.
#include "ChildProcess.h"
#include "Files.h"
#include "PortMap.h"
#include "ecu-sim/EcuSimulator.h"
#include "record/Records.h"
#include "serial/LineSettings.h"
#include "session/Messages.h"
#include "ui/CsvRow.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ecu {
namespace {

namespace fs = std::filesystem;

// A poll delay for the paced simulator that leaves its 85 ms answer room on a busy machine.
constexpr int kPacedRoomMs = 400;

class LogTool : public ::testing::Test {
protected:
    ~LogTool() override {
        proc_.reset();
        sim_.Stop();
    }

    void StartSim(SimOptions o = {}, bool fast = true) {
        o.fast = fast;
        sim_.SetOptions(o);
        sim_.Start();
        map_.Link("COM1", sim_.SlavePath());
    }

    void Launch(const std::vector<std::string>& args, test::ChildOptions options = {}) {
        proc_.reset();
        out_.clear();
        err_.clear();
        proc_ = std::make_unique<test::ChildProcess>(ECU_LOG_PATH, args, std::move(options));
        ASSERT_TRUE(proc_->Started());
    }

    // Reads stdout until it holds `lines` whole lines.
    QStringList ReadLines(int lines) {
        proc_->WaitForLines(static_cast<std::size_t>(lines));
        QStringList all = QString::fromStdString(proc_->Output()).split('\n');
        all.removeLast(); // the unfinished tail
        return all;
    }

    // Reads stderr until it holds `text` (or the time is up); returns all it holds.
    QString ReadErrorUntil(const QString& text) {
        proc_->WaitForErrors(text.toStdString());
        return QString::fromStdString(proc_->Errors());
    }

    // Exit code (128 + signal when one ended it), or -1 when it did not end in time.
    int Finish(int timeoutMs = test::ChildProcess::DefaultTimeoutMs) {
        const int code = proc_->WaitForExit(timeoutMs).value_or(-1);
        out_ = QByteArray::fromStdString(proc_->Output());
        err_ = QString::fromStdString(proc_->Errors());
        return code;
    }

    void Signal(int sig) {
        ASSERT_TRUE(proc_->Running()) << "ecu-log is not running: " << proc_->Errors();
        proc_->Signal(sig);
    }

    QStringList Rows() const { return QString::fromUtf8(out_).split('\n', Qt::SkipEmptyParts); }

    // Waits until stderr has said the link was lost `times` times.
    bool WaitForLosses(qsizetype times) {
        for (int waited = 0; waited < test::ChildProcess::DefaultTimeoutMs; waited += 20) {
            const QString err = QString::fromStdString(proc_->Errors());
            if (err.count("link to the ECU lost") >= times)
                return true;
            ::usleep(20000);
        }
        return false;
    }

    // The rows ecu-csv exports from a recording, header included, and what it skipped.
    static QStringList Export(const std::string& bin, std::string* skipped = nullptr) {
        const test::ChildResult r = test::RunChild(ECU_CSV_PATH, {"--variant", "sohc", bin});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        if (skipped)
            *skipped = r.err;
        return QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
    }

    // A recording of whole cycles only: one record after another, each with its echo.
    static void ExpectWholeCycles(const std::string& bytes) {
        EXPECT_EQ(bytes.size() % kSohcRecordSize, 0u) << bytes.size();
        for (std::size_t at = 0; at + kSohcRecordSize <= bytes.size(); at += kSohcRecordSize)
            ASSERT_EQ(bytes.substr(at, 4), "\xF4\x56\x01\xB5") << "record at " << at;
    }

    // The export has the logged rows, line for line. A busy machine may hand an answer over
    // after its cycle's wait: the logger then printed that cycle (and the next, the rest of the
    // answer ahead of its echo) undecoded, while the file holds both whole.
    static void ExpectSameRows(const QStringList& exported, const QStringList& logged) {
        ASSERT_EQ(exported.size(), logged.size());
        for (qsizetype i = 0; i < logged.size(); ++i) {
            if (exported[i] == logged[i])
                continue;
            EXPECT_EQ(logged[i].section(',', 0, 0), exported[i].section(',', 0, 0));
            EXPECT_EQ(logged[i].section(',', 1, 1) + exported[i].section(',', 1, 1), "01")
                << "line " << i << ": " << logged[i].toStdString();
        }
    }

    test::PortMap map_;
    const std::string dir_ = map_.Dir();
    EcuSimulator sim_;
    std::unique_ptr<test::ChildProcess> proc_;
    QByteArray out_;
    QString err_;
};

const QString Header = QString::fromStdString(CsvHeader()).trimmed();

// A poll delay with room for a loaded machine, for the tests that are not about the pace:
// one answer that misses the delay ends ecu-log with a broken link.
const std::string Roomy = "400";

TEST_F(LogTool, PrintsOneRowPerCycleAndEndsCleanlyOnSigint) {
    StartSim();
    Launch({"--delay", Roomy, "COM1"});
    const QStringList lines = ReadLines(4);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], Header);
    const int columns = static_cast<int>(Header.count(',')) + 1;
    for (int i = 1; i < 4; ++i) {
        const QStringList fields = lines[i].split(',');
        EXPECT_EQ(fields.size(), columns);
        EXPECT_EQ(fields[0], QString::number(i - 1));
        EXPECT_EQ(fields[1], "1") << "decoded";
    }
    EXPECT_EQ(sim_.LineRate(), LinkBaudRate) << "the rate ecu-log set on the line";
    Signal(SIGINT);
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(err_.isEmpty()) << err_.toStdString();
}

// The time column comes first and only on request: without it the header and rows are those
// of earlier versions, byte for byte, so logs compare across versions.
TEST_F(LogTool, TimeColumnIsFirstAndOnlyOnRequest) {
    const auto run = [this](const std::vector<std::string>& extra) {
        // A frozen engine and the same noise each run: the same values cycle by cycle.
        sim_.Stop();
        SimOptions o;
        o.timeScale = 0.0;
        StartSim(o);
        std::vector<std::string> args = extra;
        args.insert(args.end(), {"--delay", Roomy, "COM1"});
        Launch(args);
        QStringList lines = ReadLines(5);
        Signal(SIGINT);
        EXPECT_EQ(Finish(), 0);
        return lines.mid(0, 5);
    };
    const QStringList plain = run({});
    ASSERT_EQ(plain.size(), 5);
    EXPECT_EQ(plain[0], Header);

    const QStringList ms = run({"--time", "ms"});
    ASSERT_EQ(ms.size(), 5);
    EXPECT_EQ(ms[0], "time," + Header);
    qint64 previous = -1;
    for (int i = 1; i < 5; ++i) {
        const qsizetype comma = ms[i].indexOf(',');
        EXPECT_EQ(ms[i].mid(comma + 1), plain[i]) << "line " << i;
        bool ok = false;
        const qint64 t = ms[i].left(comma).toLongLong(&ok);
        EXPECT_TRUE(ok) << ms[i].toStdString();
        EXPECT_GT(t, previous) << "line " << i;
        previous = t;
    }
    EXPECT_EQ(ms[1].section(',', 0, 0), "0") << "the first request is the origin";

    const QStringList iso = run({"--time", "iso"});
    ASSERT_EQ(iso.size(), 5);
    EXPECT_EQ(iso[0], "time," + Header);
    const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    for (int i = 1; i < 5; ++i) {
        const QString field = iso[i].section(',', 0, 0);
        EXPECT_TRUE(stamp.match(field).hasMatch()) << field.toStdString();
        const QDateTime at = QDateTime::fromString(field, Qt::ISODateWithMs);
        EXPECT_TRUE(at.isValid() && at > before) << field.toStdString();
        EXPECT_EQ(iso[i].section(',', 1), plain[i]) << "line " << i;
    }

    Launch({"--time", "s", "COM1"});
    EXPECT_EQ(Finish(), 2);
    EXPECT_TRUE(err_.startsWith("ecu-log: --time takes ms or iso, not \"s\""))
        << err_.toStdString();
}

// With --reconnect a lost ECU is waited out: the port is tried again until the simulator
// is back on the same COM1, rows resume, and the recording holds whole cycles only.
TEST_F(LogTool, ReconnectWaitsOutALostLinkAndResumes) {
    SimOptions o;
    SimFaultRule echoOnly; // a cycle that breaks the link with its echo already recorded
    echoOnly.fault = SimFault::EchoOnly;
    echoOnly.cycles = {3};
    o.faults = {echoOnly};
    StartSim(o);
    const std::string bin = dir_ + "/gap.bin";
    Launch({"--reconnect", "--delay", "120", "--record", bin, "COM1"});
    ASSERT_GE(ReadLines(6).size(), 6) << "rows resume after the echo-only cycle";
    sim_.Stop(); // the adapter is unplugged
    QString err = ReadErrorUntil("link to the ECU lost");
    ASSERT_TRUE(err.contains("ecu-log: link to the ECU lost; opening COM1 again every second"))
        << err.toStdString();
    const auto rowsBefore = ReadLines(0).size();
    StartSim(o); // plugged in again, on a new device that COM1 now leads to
    ASSERT_GE(ReadLines(static_cast<int>(rowsBefore) + 3).size(), rowsBefore + 3);
    Signal(SIGINT);
    EXPECT_EQ(Finish(), 0);
    err = err_;
    // Each loss and each return said once: at least the echo-only cycle and the unplugged
    // adapter (a loaded machine may miss an answer more).
    const auto lost = err.count("ecu-log: link to the ECU lost; opening COM1 again every second\n");
    const auto back = err.count("ecu-log: the ECU answers on COM1 again\n");
    EXPECT_GE(lost, 2) << err.toStdString();
    EXPECT_TRUE(back == lost || back + 1 == lost) << err.toStdString();
    // The loss is said in the logger's own line only, the first time too.
    EXPECT_FALSE(err.contains(QString::fromUtf8(text::BrokenLinkCaption))) << err.toStdString();
    EXPECT_FALSE(err.contains(QString::fromUtf8(text::BrokenLinkText))) << err.toStdString();

    // Every record in the file is one whole cycle; only the signal may cut the last short.
    const std::string bytes = test::ReadFileText(bin);
    ASSERT_GE(bytes.size(), 6 * kSohcRecordSize);
    for (std::size_t at = 0; at + kSohcRecordSize <= bytes.size(); at += kSohcRecordSize)
        ASSERT_EQ(bytes.substr(at, 4), "\xF4\x56\x01\xB5") << "record at " << at;
}

// A signal while the port is being tried again ends the run at once, as at any other time.
TEST_F(LogTool, SignalWhileReconnectingEndsTheRun) {
    StartSim();
    Launch({"--reconnect", "--delay", "50", "COM1"});
    ReadLines(2);
    sim_.Stop();
    QString err = ReadErrorUntil("link to the ECU lost");
    ASSERT_TRUE(err.contains("link to the ECU lost")) << err.toStdString();
    Signal(SIGINT);
    EXPECT_EQ(Finish(), 0);
}

TEST_F(LogTool, SignalInsideTheWaitIsNotABrokenLink) {
    SimOptions o;
    SimFaultRule silence;
    silence.fault = SimFault::Silence;
    silence.rate = 1.0;
    o.faults = {silence};
    StartSim(o);
    Launch({"--delay", "3000", "COM1"});
    ReadLines(1); // the header: the port is open and the first wait has begun
    Signal(SIGTERM);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Finish(), 0);
    EXPECT_LT(clock.elapsed(), 2500) << "the wait ends with the signal";
    EXPECT_FALSE(err_.contains(QString::fromUtf8(text::BrokenLinkCaption))) << err_.toStdString();
    EXPECT_EQ(Rows().size(), 1);
}

TEST_F(LogTool, BrokenLinkAndUnopenablePortHaveTheirExitCodes) {
    SimOptions o;
    SimFaultRule echoOnly;
    echoOnly.fault = SimFault::EchoOnly;
    echoOnly.cycles = {3};
    o.faults = {echoOnly};
    StartSim(o);
    Launch({"--variant", "sohc", "--delay", Roomy, "COM1"});
    EXPECT_EQ(Finish(), 3);
    EXPECT_TRUE(err_.contains(QString::fromUtf8(text::BrokenLinkCaption))) << err_.toStdString();
    EXPECT_TRUE(err_.contains(QString::fromUtf8(text::BrokenLinkText)));
    EXPECT_EQ(Rows().size(), 3) << "header and two cycles";

    Launch({"COM2"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(), "ecu-log: Error opening com port: COM2 (" + dir_ +
                                      "/absent): No such file or directory\n");

    Launch({"--delay", "0", "COM1"});
    EXPECT_EQ(Finish(), 2);
}

TEST_F(LogTool, BadUsageNamesTheRefusedArgument) {
    const std::vector<std::pair<std::vector<std::string>, QString>> cases{
        {{"--delay", "0", "COM1"}, "--delay takes milliseconds, 1 to 60000, not \"0\""},
        {{"--variant=v8", "COM1"}, "--variant takes sohc or dohc, not \"v8\""},
        {{"--format", "json", "COM1"}, "--format takes exact or display, not \"json\""},
        {{"COM1", "--record"}, "--record takes a file name"},
        {{"--colour", "red", "COM1"}, "unknown option --colour"},
        {{"COM1", "COM2"}, "unexpected argument \"COM2\": one PORT only"},
        {{"--delay", "50"}, "no PORT given"},
        {{"COM01"}, "\"COM01\" is not a port name: use COM1, COM2, … COM256 or a device path"},
        {{"ttyUSB0"}, "\"ttyUSB0\" is not a port name: use COM1, COM2, … COM256 or a device path"}};
    for (const auto& [args, message] : cases) {
        Launch(args);
        EXPECT_EQ(Finish(), 2) << message.toStdString();
        EXPECT_TRUE(err_.startsWith("ecu-log: " + message + "\n\nusage: ecu-log"))
            << err_.toStdString();
        EXPECT_TRUE(out_.isEmpty());
    }
}

TEST_F(LogTool, OutputThatCannotBeWrittenEndsTheRunWithTheSystemsText) {
    StartSim();
    test::ChildOptions full;
    full.out = test::Stream::File("/dev/full");
    Launch({"--delay", "120", "COM1"}, full);
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(),
              std::string("ecu-log: standard output: ") + std::strerror(ENOSPC) + "\n");
}

// The reader goes away mid-run: the logger ends with exit 1 (not by SIGPIPE) and the recording
// holds every cycle up to then, whole.
TEST_F(LogTool, AReaderThatGoesAwayEndsTheRunWithTheRecordingWhole) {
    StartSim();
    const std::string bin = dir_ + "/log.bin";
    Launch({"--delay", Roomy, "--record", bin, "COM1"});
    ASSERT_EQ(ReadLines(4).size(), 4) << "header and three rows";
    proc_->CloseOutput();
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(),
              std::string("ecu-log: standard output: ") + std::strerror(EPIPE) + "\n");
    const auto size = fs::file_size(bin);
    EXPECT_EQ(size % kSohcRecordSize, 0u) << size;
    EXPECT_GE(size / kSohcRecordSize, 3u);
}

// Started with 0, 1 and 2 closed, nothing it opens may take their place: the serial port on
// standard error would carry every message down the line.
TEST_F(LogTool, ClosedStandardDescriptorsAreFilledWithDevNull) {
    StartSim();
    test::ChildOptions closed;
    closed.in = closed.out = closed.err = test::Stream::Closed();
    Launch({"--delay", Roomy, "COM1"}, closed);
    ASSERT_TRUE(sim_.WaitForDataRequests(2, std::chrono::seconds(10)));
    for (int fd = 0; fd <= 2; ++fd) {
        std::error_code ec;
        const auto target = fs::read_symlink(
            "/proc/" + std::to_string(proc_->Pid()) + "/fd/" + std::to_string(fd), ec);
        EXPECT_EQ(target, "/dev/null") << "descriptor " << fd;
    }
    Signal(SIGTERM);
    EXPECT_EQ(Finish(), 0);
    EXPECT_EQ(sim_.Counts().skippedBytes, 0u) << "nothing but frames came down the line";
}

TEST_F(LogTool, RecordingPlaysBackThroughEcuCsvToTheSameRows) {
    SimOptions o;
    o.variant = EngineVariant::Dohc;
    StartSim(o);
    const std::string bin = dir_ + "/log.bin";
    Launch({"--variant", "dohc", "--delay", Roomy, "--format", "display", "--record", bin, "COM1"});
    ReadLines(6);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const QStringList logged = Rows();

    const test::ChildResult csv =
        test::RunChild(ECU_CSV_PATH, {"--variant", "dohc", "--format", "display", bin});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const QStringList exported = QString::fromStdString(csv.out).split('\n', Qt::SkipEmptyParts);

    // The signal ends the cycle it lands in. If the wait ran out first, the logger
    // prints that cycle (undecoded when its answer was cut short) and the export
    // leaves a partial record out; if the signal cut the wait, the logger prints no
    // row for it, though its answer may already be recorded whole. Every cycle
    // before that one is in both, row for row.
    ASSERT_GE(logged.size(), 6);
    ASSERT_GE(exported.size(), logged.size() - 1);
    ASSERT_LE(exported.size(), logged.size() + 1);
    const int both = std::min(logged.size(), exported.size());
    for (int i = 0; i < both; ++i)
        EXPECT_EQ(exported[i], logged[i]) << "line " << i;
    if (logged.size() > exported.size()) {
        EXPECT_EQ(logged.back().split(',')[1], "0");
    }
}

// Links that break at random moments, mid-answer included: the recording is cut back to
// whole cycles at each break, and its export is the rows the logger printed, line for line.
TEST_F(LogTool, RandomBreaksLeaveWholeCyclesThatExportToTheRows) {
    StartSim({}, false); // paced: a break can land inside an answer
    const std::string bin = dir_ + "/breaks.bin";
    // Room for a loaded machine: an answer still coming at the next request collides with
    // its echo on the line, which is no break and not what this test is about.
    Launch({"--reconnect", "--delay", std::to_string(kPacedRoomMs), "--record", bin, "COM1"});
    std::mt19937 rng(23);
    int lines = 3;
    for (int round = 0; round < 5; ++round) {
        ASSERT_GE(ReadLines(lines).size(), lines) << "round " << round;
        ::usleep(static_cast<useconds_t>(rng() % 120000));
        sim_.Stop(); // the adapter pulled, or the ignition off
        ASSERT_TRUE(WaitForLosses(round + 1)) << proc_->Errors();
        StartSim({}, false);
        lines = static_cast<int>(ReadLines(0).size()) + 2;
    }
    ASSERT_GE(ReadLines(lines).size(), lines);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const std::string bytes = test::ReadFileText(bin);
    ExpectWholeCycles(bytes);
    ExpectSameRows(Export(bin), Rows());
}

// A signal lands at any moment of a cycle: the cycle it cuts short has no row and leaves
// no bytes, so the recording and the rows hold the same cycles.
TEST_F(LogTool, ASignalMidCycleLeavesTheRecordingAndTheRowsAgreeing) {
    const std::string bin = dir_ + "/stop.bin";
    for (const int afterRowMs : {5, 40, 80, 110}) {
        SCOPED_TRACE(afterRowMs);
        // A simulator of its own: the rest of the last run's answer is no part of this one.
        sim_.Stop();
        StartSim({}, false);
        Launch({"--delay", std::to_string(kPacedRoomMs), "--record", bin, "COM1"});
        ASSERT_GE(ReadLines(3).size(), 3);
        ::usleep(static_cast<useconds_t>(afterRowMs * 1000)); // the next answer is on its way
        Signal(SIGINT);
        ASSERT_EQ(Finish(), 0);
        ExpectWholeCycles(test::ReadFileText(bin));
        ExpectSameRows(Export(bin), Rows());
    }
    // A whole cycle that came in before the signal ended its long wait has no row either.
    const std::uint64_t before = sim_.Counts().answers;
    Launch({"--delay", "60000", "--record", bin, "COM1"});
    ReadLines(1);
    for (int waited = 0; sim_.Counts().answers == before && waited < 10000; waited += 10)
        ::usleep(10000);
    ::usleep(100000); // its last bytes reach the logger
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    EXPECT_EQ(Rows().size(), 1) << "the header only";
    EXPECT_EQ(test::ReadFileText(bin), "");
}

// /dev/null takes a recording but cannot be cut: the logger neither tries nor stops there.
TEST_F(LogTool, ARecordingThatCannotBeCutDoesNotEndTheReconnecting) {
    StartSim();
    Launch({"--reconnect", "--delay", "50", "--record", "/dev/null", "COM1"});
    ASSERT_GE(ReadLines(3).size(), 3);
    sim_.Stop();
    ReadErrorUntil("link to the ECU lost");
    StartSim();
    const int rows = static_cast<int>(ReadLines(0).size());
    ASSERT_GE(ReadLines(rows + 3).size(), rows + 3) << "polling goes on after the break";
    Signal(SIGINT);
    EXPECT_EQ(Finish(), 0);
    EXPECT_FALSE(err_.contains("/dev/null")) << err_.toStdString();
}

// The recording of a run under each of the simulator's faults exports to the rows the logger
// printed: every decoded row under its cycle number, and no row the logger did not have.
class FaultRecording : public LogTool, public ::testing::WithParamInterface<SimFault> {};

std::map<QString, QString> ByNumber(const QStringList& rows) {
    std::map<QString, QString> byNumber;
    for (qsizetype i = 1; i < rows.size(); ++i)
        byNumber[rows[i].section(',', 0, 0)] = rows[i];
    return byNumber;
}

bool Decoded(const QString& row) {
    return row.section(',', 1, 1) == "1";
}

TEST_P(FaultRecording, ExportsTheDecodedRowsUnderTheirNumbers) {
    SimOptions o;
    SimFaultRule rule;
    rule.fault = GetParam();
    rule.cycles = {4, 8, 12};
    o.faults = {rule};
    StartSim(o);
    const std::string bin = dir_ + "/fault.bin";
    Launch({"--reconnect", "--delay", "100", "--record", bin, "COM1"});
    ASSERT_GE(ReadLines(18).size(), 18);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const auto live = ByNumber(Rows());
    std::string skipped;
    const auto exported = ByNumber(Export(bin, &skipped));

    for (const auto& [number, row] : live) {
        if (Decoded(row)) {
            EXPECT_EQ(exported.count(number) ? exported.at(number) : "", row);
        }
    }
    // The logger may have left a cycle undecoded that the file holds whole: a stray byte
    // ahead of its echo, or (on a busy machine) an answer handed over after the wait.
    for (const auto& [number, row] : exported)
        EXPECT_TRUE(live.count(number)) << "invented: " << row.toStdString();
    // A late answer is thrown away when the port opens again, not recorded.
    if (GetParam() == SimFault::Delayed) {
        EXPECT_EQ(skipped.find("after whole answers"), std::string::npos) << skipped;
    }
}

std::string KindName(const ::testing::TestParamInfo<SimFault>& info) {
    static const char* const names[] = {"None",    "Silence", "EchoOnly", "NoEcho",
                                        "Partial", "Stray",   "Delay",    "Garbage"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryKind, FaultRecording,
                         ::testing::Values(SimFault::Silence, SimFault::EchoOnly, SimFault::NoEcho,
                                           SimFault::Partial, SimFault::StrayByte,
                                           SimFault::Delayed, SimFault::Garbage),
                         KindName);

TEST_F(LogTool, RecordingToAFullDiskEndsWithOneMessageAndExitOne) {
    StartSim({}, false); // paced: the answer's bytes arrive one by one
    constexpr rlim_t Limit = 2 * 68 + 20;
    // The disk of the logger fills up after two cycles and 20 bytes of the third.
    test::ChildOptions small;
    small.beforeExec = [] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = Limit;
        signal(SIGXFSZ, SIG_IGN);
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    };
    const std::string bin = dir_ + "/full.bin";
    Launch({"--delay", Roomy, "--record", bin, "COM1"}, small);
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(), "ecu-log: " + bin + ": File too large\n");
    EXPECT_EQ(fs::file_size(bin), 2 * kSohcRecordSize) << "cut back to the cycles with rows";
    EXPECT_EQ(Rows().size(), 3) << "header and the two recorded cycles";
}

} // namespace
} // namespace ecu
