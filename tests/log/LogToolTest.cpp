// ecu-log run as a process against the simulator.
#include "ecu-sim/EcuSimulator.h"
#include "record/Records.h"
#include "serial/LineSettings.h"
#include "session/Messages.h"
#include "ui/CsvRow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ecu {
namespace {

namespace fs = std::filesystem;

class LogTool : public ::testing::Test {
protected:
    LogTool() {
        char tmpl[] = "/tmp/ecu-log-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
        ports_ = fs::path(dir_) / "ecuscan" / "ports";
        fs::create_directories(ports_);
        fs::create_symlink(fs::path(dir_) / "absent", ports_ / "COM1");
        fs::create_symlink(fs::path(dir_) / "absent", ports_ / "COM2");
    }
    ~LogTool() override {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
        sim_.Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void StartSim(SimOptions o = {}, bool fast = true) {
        o.fast = fast;
        sim_.SetOptions(o);
        sim_.Start();
        fs::remove(ports_ / "COM1");
        fs::create_symlink(sim_.SlavePath(), ports_ / "COM1");
    }

    void Launch(const QStringList& args) {
        out_.clear();
        err_.clear();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir_));
        proc_.setProcessEnvironment(env);
        proc_.start(ECU_LOG_PATH, args);
        ASSERT_TRUE(proc_.waitForStarted(10000));
    }

    // Reads stdout until it holds `lines` whole lines.
    QStringList ReadLines(int lines) {
        QElapsedTimer clock;
        clock.start();
        while (out_.count('\n') < lines && clock.elapsed() < 20000) {
            proc_.waitForReadyRead(200);
            out_ += proc_.readAllStandardOutput();
        }
        QStringList all = QString::fromUtf8(out_).split('\n');
        all.removeLast(); // the unfinished tail
        return all;
    }

    // Reads stderr until it holds `text` (or 20 s pass); returns what was read.
    QString ReadErrorUntil(const QString& text) {
        QString err;
        QElapsedTimer clock;
        clock.start();
        while (!err.contains(text) && clock.elapsed() < 20000) {
            proc_.waitForReadyRead(100);
            err += QString::fromLocal8Bit(proc_.readAllStandardError());
        }
        return err;
    }

    // Exit code, or -1 when it did not exit normally in time.
    int Finish(int timeoutMs = 20000) {
        if (!proc_.waitForFinished(timeoutMs))
            return -1;
        out_ += proc_.readAllStandardOutput();
        err_ = QString::fromLocal8Bit(proc_.readAllStandardError());
        return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
    }

    // Signals a running child only: once QProcess has seen it end, processId() is 0, and
    // kill(0, sig) would hit the whole process group, the test runner included. Until then
    // the id stays a zombie's, which nobody else can be given.
    void Signal(int sig) {
        const auto pid = static_cast<pid_t>(proc_.processId());
        ASSERT_GT(pid, 0) << "ecu-log is not running (exit code " << proc_.exitCode() << ")";
        ::kill(pid, sig);
    }

    QStringList Rows() const {
        QStringList rows = QString::fromUtf8(out_).split('\n', Qt::SkipEmptyParts);
        return rows;
    }

    enum class Std { PipeOut, Closed };
    // ecu-log started without QProcess, for what QProcess cannot set up: a standard output
    // whose reader goes away, or closed standard descriptors. Killed at the end if still
    // running.
    struct Spawned {
        pid_t pid = -1;
        int out = -1; // read end of its standard output (PipeOut)
        // Exit status, or -1 when it has not ended within the limit.
        int Wait(int limitMs = 20000) {
            for (int waited = 0; waited < limitMs; waited += 20) {
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    pid = -1;
                    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                ::usleep(20000);
            }
            return -1;
        }
        ~Spawned() {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            if (out >= 0)
                close(out);
        }
    };

    Spawned Spawn(std::vector<std::string> args, Std std) {
        Spawned s;
        int pipeFds[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (std == Std::PipeOut) {
            EXPECT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
            posix_spawn_file_actions_addopen(&actions, 2, errPath().c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        } else {
            for (int fd = 0; fd <= 2; ++fd)
                posix_spawn_file_actions_addclose(&actions, fd);
        }
        args.insert(args.begin(), ECU_LOG_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env{"XDG_CONFIG_HOME=" + dir_, "QT_QPA_PLATFORM=offscreen"};
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&s.pid, ECU_LOG_PATH, &actions, nullptr, argv.data(), envp.data()),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        if (pipeFds[1] >= 0)
            close(pipeFds[1]);
        s.out = pipeFds[0];
        return s;
    }

    // The rows ecu-csv exports from a recording, header included.
    static QStringList Export(const std::string& bin, const QString& variant = "sohc") {
        QProcess csv;
        csv.start(ECU_CSV_PATH, {"--variant", variant, QString::fromStdString(bin)});
        EXPECT_TRUE(csv.waitForFinished(20000));
        EXPECT_EQ(csv.exitCode(), 0) << csv.readAllStandardError().toStdString();
        return QString::fromUtf8(csv.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    // A recording of whole cycles only: one record after another, each with its echo.
    static void ExpectWholeCycles(const std::string& bytes) {
        EXPECT_EQ(bytes.size() % kSohcRecordSize, 0u) << bytes.size();
        for (std::size_t at = 0; at + kSohcRecordSize <= bytes.size(); at += kSohcRecordSize)
            ASSERT_EQ(bytes.substr(at, 4), "\xF4\x56\x01\xB5") << "record at " << at;
    }

    std::string errPath() const { return dir_ + "/stderr"; }
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string dir_;
    fs::path ports_;
    EcuSimulator sim_;
    QProcess proc_;
    QByteArray out_;
    QString err_;
};

const QString Header = QString::fromStdString(CsvHeader()).trimmed();

TEST_F(LogTool, PrintsOneRowPerCycleAndEndsCleanlyOnSigint) {
    StartSim();
    Launch({"--delay", "120", "COM1"});
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
    const auto run = [this](const QStringList& extra) {
        // A frozen engine and the same noise each run: the same values cycle by cycle.
        sim_.Stop();
        SimOptions o;
        o.timeScale = 0.0;
        StartSim(o);
        Launch(extra + QStringList{"--delay", "50", "COM1"});
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
    Launch({"--reconnect", "--delay", "120", "--record", QString::fromStdString(bin), "COM1"});
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
    err += err_;
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
    const std::string bytes = ReadAll(bin);
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
    Launch({"--variant", "sohc", "--delay", "120", "COM1"});
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
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--delay", "0", "COM1"}, "--delay takes milliseconds, 1 to 60000, not \"0\""},
        {{"--variant=v8", "COM1"}, "--variant takes sohc or dohc, not \"v8\""},
        {{"--format", "json", "COM1"}, "--format takes exact or display, not \"json\""},
        {{"COM1", "--record"}, "--record takes a file name"},
        {{"--colour", "red", "COM1"}, "unknown option --colour"},
        {{"COM1", "COM2"}, "unexpected argument \"COM2\": one PORT only"},
        {{"--delay", "50"}, "no PORT given"}};
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
    proc_.setStandardOutputFile("/dev/full");
    Launch({"--delay", "120", "COM1"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(),
              std::string("ecu-log: standard output: ") + std::strerror(ENOSPC) + "\n");
}

// The reader goes away mid-run: the logger ends with exit 1 (not by SIGPIPE) and the recording
// holds every cycle up to then, whole.
TEST_F(LogTool, AReaderThatGoesAwayEndsTheRunWithTheRecordingWhole) {
    StartSim();
    const std::string bin = dir_ + "/log.bin";
    Spawned log = Spawn({"--record", bin, "COM1"}, Std::PipeOut);
    std::string rows;
    char c;
    while (std::count(rows.begin(), rows.end(), '\n') < 4 && read(log.out, &c, 1) == 1)
        rows += c;
    ASSERT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4) << "header and three rows";
    close(log.out);
    log.out = -1;
    EXPECT_EQ(log.Wait(), 1);
    EXPECT_EQ(ReadAll(errPath()),
              std::string("ecu-log: standard output: ") + std::strerror(EPIPE) + "\n");
    const auto size = fs::file_size(bin);
    EXPECT_EQ(size % kSohcRecordSize, 0u) << size;
    EXPECT_GE(size / kSohcRecordSize, 3u);
}

// Started with 0, 1 and 2 closed, nothing it opens may take their place: the serial port on
// standard error would carry every message down the line.
TEST_F(LogTool, ClosedStandardDescriptorsAreFilledWithDevNull) {
    StartSim();
    Spawned log = Spawn({"COM1"}, Std::Closed);
    ASSERT_TRUE(sim_.WaitForDataRequests(2, std::chrono::seconds(10)));
    for (int fd = 0; fd <= 2; ++fd) {
        std::error_code ec;
        const auto target =
            fs::read_symlink("/proc/" + std::to_string(log.pid) + "/fd/" + std::to_string(fd), ec);
        EXPECT_EQ(target, "/dev/null") << "descriptor " << fd;
    }
    ::kill(log.pid, SIGTERM);
    EXPECT_EQ(log.Wait(), 0);
    EXPECT_EQ(sim_.Counts().skippedBytes, 0u) << "nothing but frames came down the line";
}

TEST_F(LogTool, RecordingPlaysBackThroughEcuCsvToTheSameRows) {
    SimOptions o;
    o.variant = EngineVariant::Dohc;
    StartSim(o);
    const QString bin = QString::fromStdString(dir_ + "/log.bin");
    Launch({"--variant", "dohc", "--delay", "120", "--format", "display", "--record", bin, "COM1"});
    ReadLines(6);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const QStringList logged = Rows();

    QProcess csv;
    csv.start(ECU_CSV_PATH, {"--variant", "dohc", "--format", "display", bin});
    ASSERT_TRUE(csv.waitForFinished(20000));
    ASSERT_EQ(csv.exitCode(), 0) << csv.readAllStandardError().toStdString();
    const QStringList exported =
        QString::fromUtf8(csv.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);

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
    Launch({"--reconnect", "--delay", "120", "--record", QString::fromStdString(bin), "COM1"});
    std::mt19937 rng(23);
    int lines = 3;
    for (int round = 0; round < 5; ++round) {
        ASSERT_GE(ReadLines(lines).size(), lines) << "round " << round;
        ::usleep(static_cast<useconds_t>(rng() % 120000));
        sim_.Stop(); // the adapter pulled, or the ignition off
        ReadErrorUntil("link to the ECU lost");
        StartSim({}, false);
        lines = static_cast<int>(ReadLines(0).size()) + 2;
    }
    ASSERT_GE(ReadLines(lines).size(), lines);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const std::string bytes = ReadAll(bin);
    ExpectWholeCycles(bytes);
    EXPECT_EQ(Export(bin), Rows());
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
        Launch({"--delay", "150", "--record", QString::fromStdString(bin), "COM1"});
        ASSERT_GE(ReadLines(3).size(), 3);
        ::usleep(static_cast<useconds_t>(afterRowMs * 1000)); // the next answer is on its way
        Signal(SIGINT);
        ASSERT_EQ(Finish(), 0);
        ExpectWholeCycles(ReadAll(bin));
        EXPECT_EQ(Export(bin), Rows());
    }
    // A whole cycle that came in before the signal ended its long wait has no row either.
    const std::uint64_t before = sim_.Counts().answers;
    Launch({"--delay", "60000", "--record", QString::fromStdString(bin), "COM1"});
    ReadLines(1);
    for (int waited = 0; sim_.Counts().answers == before && waited < 10000; waited += 10)
        ::usleep(10000);
    ::usleep(100000); // its last bytes reach the logger
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    EXPECT_EQ(Rows().size(), 1) << "the header only";
    EXPECT_EQ(ReadAll(bin), "");
}

// /dev/null takes a recording but cannot be cut: the logger neither tries nor stops there.
TEST_F(LogTool, ARecordingThatCannotBeCutDoesNotEndTheReconnecting) {
    StartSim();
    Launch({"--reconnect", "--delay", "50", "--record", "/dev/null", "COM1"});
    ASSERT_GE(ReadLines(3).size(), 3);
    sim_.Stop();
    QString err = ReadErrorUntil("link to the ECU lost");
    StartSim();
    const int rows = static_cast<int>(ReadLines(0).size());
    ASSERT_GE(ReadLines(rows + 3).size(), rows + 3) << "polling goes on after the break";
    Signal(SIGINT);
    EXPECT_EQ(Finish(), 0);
    err += err_;
    EXPECT_FALSE(err.contains("/dev/null")) << err.toStdString();
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
    Launch({"--reconnect", "--delay", "100", "--record", QString::fromStdString(bin), "COM1"});
    ASSERT_GE(ReadLines(18).size(), 18);
    Signal(SIGINT);
    ASSERT_EQ(Finish(), 0);
    const auto live = ByNumber(Rows());
    QProcess csv;
    csv.start(ECU_CSV_PATH, {"--variant", "sohc", QString::fromStdString(bin)});
    ASSERT_TRUE(csv.waitForFinished(20000));
    const QString skipped = QString::fromLocal8Bit(csv.readAllStandardError());
    const auto exported =
        ByNumber(QString::fromUtf8(csv.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));

    for (const auto& [number, row] : live) {
        if (Decoded(row)) {
            EXPECT_EQ(exported.count(number) ? exported.at(number) : "", row);
        }
    }
    // A stray byte ahead of the echo keeps the logger from decoding a whole answer that the
    // file then holds on its own.
    const bool mayDecodeMore = GetParam() == SimFault::StrayByte;
    for (const auto& [number, row] : exported) {
        ASSERT_TRUE(live.count(number)) << "invented: " << row.toStdString();
        if (Decoded(row) && !Decoded(live.at(number))) {
            EXPECT_TRUE(mayDecodeMore) << row.toStdString();
        }
    }
    // A late answer is thrown away when the port opens again, not recorded.
    if (GetParam() == SimFault::Delayed) {
        EXPECT_FALSE(skipped.contains("after whole answers")) << skipped.toStdString();
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
    proc_.setChildProcessModifier([] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = Limit;
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
    });
    const std::string bin = dir_ + "/full.bin";
    Launch({"--delay", "150", "--record", QString::fromStdString(bin), "COM1"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(err_.toStdString(), "ecu-log: " + bin + ": File too large\n");
    EXPECT_EQ(fs::file_size(bin), 2 * kSohcRecordSize) << "cut back to the cycles with rows";
    EXPECT_EQ(Rows().size(), 3) << "header and the two recorded cycles";
}

} // namespace
} // namespace ecu

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
