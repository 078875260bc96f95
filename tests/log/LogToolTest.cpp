// ecu-log run as a process against the simulator.
#include "ecu-sim/EcuSimulator.h"
#include "serial/LineSettings.h"
#include "session/Messages.h"
#include "ui/CsvRow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

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

    void StartSim(SimOptions o = {}) {
        o.fast = true;
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
    Launch({"--delay", "50", "COM1"});
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
    Launch({"--variant", "sohc", "--delay", "50", "COM1"});
    EXPECT_EQ(Finish(), 3);
    EXPECT_TRUE(err_.contains(QString::fromUtf8(text::BrokenLinkCaption))) << err_.toStdString();
    EXPECT_TRUE(err_.contains(QString::fromUtf8(text::BrokenLinkText)));
    EXPECT_EQ(Rows().size(), 3) << "header and two cycles";

    Launch({"COM2"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(err_.startsWith("ecu-log: ")) << err_.toStdString();
    EXPECT_GT(err_.size(), 10);

    Launch({"--delay", "0", "COM1"});
    EXPECT_EQ(Finish(), 2);
}

TEST_F(LogTool, RecordingPlaysBackThroughEcuCsvToTheSameRows) {
    SimOptions o;
    o.variant = EngineVariant::Dohc;
    StartSim(o);
    const QString bin = QString::fromStdString(dir_ + "/log.bin");
    Launch({"--variant", "dohc", "--delay", "50", "--format", "display", "--record", bin, "COM1"});
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

    // The signal may cut the last cycle short: the logger still prints it (not
    // decoded), the export leaves the partial record out.
    ASSERT_GE(exported.size(), 6);
    ASSERT_GE(logged.size(), exported.size());
    ASSERT_LE(logged.size(), exported.size() + 1);
    for (int i = 0; i < exported.size(); ++i)
        EXPECT_EQ(exported[i], logged[i]) << "line " << i;
    if (logged.size() > exported.size()) {
        EXPECT_EQ(logged.back().split(',')[1], "0");
    }
}

} // namespace
} // namespace ecu

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
