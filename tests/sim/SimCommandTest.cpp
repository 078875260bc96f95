// The ecu-sim command: its arguments, the port-map link it keeps, its frame log and its exit.
#include "ecu-sim/SimCommand.h"
#include "ChildProcess.h"
#include "PortMap.h"
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "Wait.h"
#include "ecu-sim/PortLink.h"
#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ecu::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Parse(const std::vector<std::string>& args, SimCommand& c) {
    return ParseSimCommand(args, c);
}

TEST(SimCommandLine, ReadsEveryOption) {
    SimCommand c;
    ASSERT_EQ(Parse({"--variant",     "dohc",
                     "--fast",        "--as",
                     "COM2",          "--replace",
                     "--log",         "f.log",
                     "--device",      "/dev/pts/9",
                     "--fault",       "silence@2,5",
                     "--fault",       "garbage:0.25/all",
                     "--fault",       "delay",
                     "--fault-delay", "250",
                     "--partial",     "7",
                     "--stray",       "F4",
                     "--fault-bytes", "0A5F",
                     "--prom",        "BEEF",
                     "--ambient",     "-5",
                     "--time-scale",  "30",
                     "--baud",        "10400",
                     "--seed",        "99"},
                    c),
              "");
    const SimOptions& o = c.options;
    EXPECT_EQ(o.variant, EngineVariant::Dohc);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(c.portName, "COM2");
    SimCommand lower;
    EXPECT_EQ(Parse({"--as", "com7"}, lower), "");
    EXPECT_EQ(lower.portName, "COM7"); // the name programs look up
    EXPECT_TRUE(c.replace);
    EXPECT_EQ(c.logPath, "f.log");
    EXPECT_EQ(c.device, "/dev/pts/9");
    ASSERT_EQ(o.faults.size(), 3u);
    EXPECT_EQ(o.faults[0].fault, SimFault::Silence);
    EXPECT_EQ(o.faults[0].cycles, (std::vector<std::uint64_t>{2, 5}));
    EXPECT_EQ(o.faults[0].rate, 0);
    EXPECT_FALSE(o.faults[0].allFrames);
    EXPECT_EQ(o.faults[1].fault, SimFault::Garbage);
    EXPECT_EQ(o.faults[1].rate, 0.25);
    EXPECT_TRUE(o.faults[1].allFrames);
    EXPECT_EQ(o.faults[2].rate, 1.0); // neither rate nor cycles: every exchange
    EXPECT_EQ(o.faultDelay, 250ms);
    EXPECT_EQ(o.partialBytes, 7u);
    EXPECT_EQ(o.strayByte, 0xF4);
    EXPECT_EQ(c.faultBytes, (std::pair<std::uint8_t, std::uint8_t>{0x0A, 0x5F}));
    EXPECT_EQ(o.promId, 0xBEEF);
    EXPECT_EQ(o.ambientC, -5);
    EXPECT_EQ(o.timeScale, 30);
    EXPECT_EQ(o.lineBaud, 10400);
    EXPECT_EQ(o.seed, 99u);
}

TEST(SimCommandLine, RejectsWhatItCannotUseAndSaysWhy) {
    const std::string as = "--as takes a port name: COM1, COM2, … COM256";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--variant", "v6"}, "--variant takes sohc or dohc"},
        {{"--as"}, as},
        {{"--as", "COM01"}, as},
        {{"--as", "a b"}, as},
        {{"--as", "COM1\n"}, as},
        {{"--fault"}, "bad --fault: "},
        {{"--fault", "fire"}, "bad --fault: fire"},
        {{"--fault", "silence:1.5"}, "bad --fault: silence:1.5"},
        {{"--fault", "silence@0"}, "bad --fault: silence@0"},
        {{"--fault", "silence@"}, "bad --fault: silence@"},
        {{"--fault", "silence@2,x"}, "bad --fault: silence@2,x"},
        {{"--fault-bytes", "0A5"}, "--fault-bytes takes four hex digits"},
        {{"--stray", "100"}, "--stray takes a hex byte"},
        {{"--time-scale", "0"}, "--time-scale takes a factor (0..10000]"},
        {{"--baud", "12x"}, "--baud takes a rate (300..1000000)"},
        {{"--prom", "12345"}, "--prom takes up to four hex digits"},
        {{"--replace"}, "--replace goes with --as"},
        {{"--bogus"}, "unknown argument: --bogus"},
        {{"--fast=1"}, "unknown argument: --fast=1"},
        {{"--fast", "COM1"}, "unknown argument: COM1"},
    };
    for (const auto& [args, refusal] : cases) {
        SimCommand c;
        EXPECT_EQ(Parse(args, c), refusal) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

// An empty port map: these tests take and give back the names themselves.
class TempConfig : public testing::Test {
protected:
    PortMap map{PortMap::Start::Empty};
    const std::string dir = map.Dir();
    const std::string ports = map.PortsDir();
};

using SimPortLink = TempConfig;

TEST_F(SimPortLink, TakesAFreeNameAndRemovesItOnlyWhileItStillPointsHere) {
    {
        PortLink link("COM1", "/dev/pts/7");
        EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/pts/7");
        EXPECT_FALSE(link.Previous());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));

    {
        PortLink link("COM2", "/dev/pts/7");
        fs::remove(ports + "/COM2");
        fs::create_symlink("/dev/pts/8", ports + "/COM2"); // someone else took the name
    }
    EXPECT_EQ(fs::read_symlink(ports + "/COM2"), "/dev/pts/8");
}

TEST_F(SimPortLink, RefusesALinkedNameWhetherItsTargetExistsOrNot) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    fs::create_symlink(dir + "/gone", ports + "/COM2");
    for (const char* name : {"COM1", "COM2"}) {
        const std::string before = fs::read_symlink(ports + "/" + name);
        try {
            PortLink link(name, "/dev/pts/7");
            ADD_FAILURE() << name << " taken over";
        } catch (const PortNameTaken& e) {
            EXPECT_EQ(e.Target(), before);
            EXPECT_NE(std::string(e.what()).find(ports + "/" + name), std::string::npos);
        }
        EXPECT_EQ(fs::read_symlink(ports + "/" + name), before) << name;
    }
}

TEST_F(SimPortLink, ReplacingPutsTheOldTargetBackUnlessTheNameMovedOnMeanwhile) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    {
        PortLink link("COM1", "/dev/pts/7", PortLink::Existing::Replace);
        EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/pts/7");
        EXPECT_EQ(link.Previous(), "/dev/ttyUSB0");
    }
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0");

    {
        PortLink link("COM1", "/dev/pts/7", PortLink::Existing::Replace);
        fs::remove(ports + "/COM1");
        fs::create_symlink("/dev/ttyUSB1", ports + "/COM1");
    }
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB1");

    // Replacing a free name is plain taking it.
    { PortLink link("COM2", "/dev/pts/7", PortLink::Existing::Replace); }
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM2")));
}

TEST_F(SimPortLink, NestedSimulatorsHandTheNameBackInTurn) {
    auto first = std::make_unique<PortLink>("COM1", "/dev/pts/7");
    EXPECT_THROW(PortLink("COM1", "/dev/pts/8"), PortNameTaken);
    auto second = std::make_unique<PortLink>("COM1", "/dev/pts/8", PortLink::Existing::Replace);
    first.reset(); // the first one ends first: the name is the second one's now
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/pts/8");
    // ... and what it hands back is what the first one found: nothing, not its ended line.
    second.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));

    // The same over a user's link: it comes back whichever simulator ends first.
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    for (const bool startOrder : {true, false}) {
        auto a = std::make_unique<PortLink>("COM1", "/dev/pts/7", PortLink::Existing::Replace);
        auto b = std::make_unique<PortLink>("COM1", "/dev/pts/8", PortLink::Existing::Replace);
        if (startOrder)
            a.reset();
        b.reset();
        a.reset();
        EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0") << startOrder;
        EXPECT_EQ(std::distance(fs::directory_iterator(ports), fs::directory_iterator()), 1)
            << "records left behind";
    }
}

TEST_F(SimPortLink, RefusesNamesThatLeaveTheFolderAndPlacesThatAreNotLinks) {
    for (const char* name : {"", ".", "..", "../COM1", "a/b"})
        EXPECT_THROW(PortLink(name, "/dev/pts/7"), std::runtime_error) << name;
    fs::create_directories(ports);
    std::ofstream(ports + "/COM3") << "not a link";
    EXPECT_THROW(PortLink("COM3", "/dev/pts/7"), std::runtime_error);
    EXPECT_TRUE(fs::is_regular_file(ports + "/COM3"));
}

// The command run as a child process with its own port map; with closedStd its descriptors 0,
// 1 and 2 are closed (and no path is read).
class SimProcess : public TempConfig {
protected:
    void Launch(const std::vector<std::string>& args, bool closedStd = false) {
        ChildOptions options;
        if (closedStd)
            options.in = options.out = options.err = Stream::Closed();
        sim = std::make_unique<ChildProcess>(ECU_SIM_PATH, args, options);
        ASSERT_TRUE(sim->Started());
        if (!closedStd)
            path = sim->FirstLine();
    }
    std::string Stderr() const { return sim->Errors(); }
    int StopWith(int signal) {
        sim->Signal(signal);
        return WaitExit();
    }
    // Exit status once it ends by itself; -1 when it is still running after `limitMs`.
    int WaitExit(int limitMs = 10000) const { return sim->WaitForExit(limitMs).value_or(-1); }

    std::unique_ptr<ChildProcess> sim;
    std::unique_ptr<ChildProcess> other; // an earlier simulator still running
    std::string path;
};

TEST_F(SimProcess, ServesThroughTheLinkedPortLogsFramesAndCleansUpOnSigterm) {
    const std::string log = dir + "/frames.log";
    Launch({"--fast", "--as", "COM1", "--log", log, "--variant", "dohc"});
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    ASSERT_EQ(fs::read_symlink(ports + "/COM1"), path);
    {
        PtyClient client(ports + "/COM1");
        EXPECT_EQ(client.Exchange(kDataRequest).size(), 72u);
        EXPECT_EQ(client.Exchange({0x00, 0xF4, 0x56, 0x00, 0xB6}).size(), 9u);
    }
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));

    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("  F4 56 01 B5"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("  00  (skipped)"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("  F4 56 00 B6"), std::string::npos) << lines[2];
}

TEST_F(SimProcess, SigintEndsItCleanlyToo) {
    Launch({"--as", "COM2"});
    ASSERT_TRUE(fs::is_symlink(ports + "/COM2"));
    EXPECT_EQ(StopWith(SIGINT), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM2")));
}

TEST_F(SimProcess, ADeviceThatCannotBeOpenedIsAnErrorExit) {
    Launch({"--device", dir + "/missing"});
    EXPECT_EQ(WaitExit(), 1);
}

TEST_F(SimProcess, ALinkedNameIsRefusedAndLeftAsItWas) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    Launch({"--as", "COM1"});
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0");
    const std::string err = Stderr();
    EXPECT_NE(err.find("already linked to /dev/ttyUSB0"), std::string::npos) << err;
    EXPECT_NE(err.find("--replace"), std::string::npos) << err;

    // Left without a claim (by an older simulator): refused too, and called stale.
    fs::create_symlink("/dev/pts/999999", ports + "/COM2");
    Launch({"--as", "COM2"});
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_NE(Stderr().find("already linked to /dev/pts/999999, a pseudo-terminal that has "
                            "closed: a stale link, which ecu-ports unlink removes"),
              std::string::npos)
        << Stderr();
}

TEST_F(SimProcess, ReplaceTakesTheNameForTheRunAndPutsTheOldLinkBack) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    Launch({"--fast", "--as", "COM1", "--replace"});
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), path);
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0");
}

TEST_F(SimProcess, ASecondSimulatorLeavesTheFirstOnesLinkAlone) {
    Launch({"--fast", "--as", "COM1"});
    std::swap(other, sim);
    const std::string firstPath = path;
    ASSERT_EQ(fs::read_symlink(ports + "/COM1"), firstPath);

    Launch({"--fast", "--as", "COM1"});
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), firstPath);
    PtyClient client(ports + "/COM1");
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u);

    std::swap(other, sim);
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));
}

// Killed with no chance to clean up, it leaves its claim beside the name: the program will
// not open the dead line, and the next simulator puts the user's link back before it decides.
TEST_F(SimProcess, AKilledSimulatorsNameIsPutRightByTheNextOne) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    Launch({"--fast", "--as", "COM1", "--replace"});
    ASSERT_EQ(fs::read_symlink(ports + "/COM1"), path);
    const std::string killedLine = path;
    EXPECT_EQ(StopWith(SIGKILL), 128 + SIGKILL);
    EXPECT_THROW(ResolvePortName("COM1"), PortNameError);

    Launch({"--fast", "--as", "COM1"});
    EXPECT_EQ(WaitExit(), 1) << "the user's link is back, and plain --as leaves it alone";
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0");
    const std::string err = Stderr();
    EXPECT_NE(err.find("COM1 led to " + killedLine +
                       ", the line of a simulator that had ended: put back /dev/ttyUSB0"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("already linked to /dev/ttyUSB0"), std::string::npos) << err;
    EXPECT_EQ(std::distance(fs::directory_iterator(ports), fs::directory_iterator()), 1);

    // Without a link before it, the killed one's name is simply free again.
    fs::remove(ports + "/COM1");
    Launch({"--fast", "--as", "COM1"});
    EXPECT_EQ(StopWith(SIGKILL), 128 + SIGKILL);
    Launch({"--fast", "--as", "COM1"});
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), path);
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));
}

TEST_F(SimProcess, TwoReplacingSimulatorsStoppedInStartOrderPutTheUsersLinkBack) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB0", ports + "/COM1");
    Launch({"--fast", "--as", "COM1", "--replace"});
    std::swap(other, sim);
    Launch({"--fast", "--as", "COM1", "--replace"});
    std::swap(other, sim);
    EXPECT_EQ(StopWith(SIGTERM), 0); // the first one
    std::swap(other, sim);
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), path);
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/ttyUSB0");
}

// A frame log read through a pipe whose reader went away: a write error that ends the run
// with its cleanup, not a signal that leaves the link behind.
TEST_F(SimProcess, AReaderThatGoesAwayEndsTheRunCleanly) {
    const std::string fifo = dir + "/frames";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    Launch({"--fast", "--as", "COM1", "--log", fifo});
    ASSERT_EQ(fs::read_symlink(ports + "/COM1"), path);
    close(reader);
    PtyClient client(path);
    client.Exchange(kDataRequest);
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_EQ(Stderr(), "ecu-sim: " + fifo + ": " + std::strerror(EPIPE) + "\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));
}

TEST_F(SimProcess, AFrameLogThatCannotBeWrittenIsReportedAndEndsTheRun) {
    Launch({"--fast", "--log", "/dev/full"});
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    PtyClient client(path);
    client.Exchange(kDataRequest);
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_EQ(Stderr(), std::string("ecu-sim: /dev/full: ") + std::strerror(ENOSPC) + "\n");
}

// Started with 0, 1 and 2 closed, nothing it opens may take their place: its own pty on
// standard output would carry the printed path down the line.
TEST_F(SimProcess, ClosedStandardDescriptorsAreFilledWithDevNull) {
    Launch({"--fast", "--as", "COM1"}, true);
    ASSERT_TRUE(WaitUntil([&] { return fs::is_symlink(fs::symlink_status(ports + "/COM1")); }));
    for (int fd = 0; fd <= 2; ++fd) {
        std::error_code ec;
        const auto target = fs::read_symlink(
            "/proc/" + std::to_string(sim->Pid()) + "/fd/" + std::to_string(fd), ec);
        EXPECT_EQ(target, "/dev/null") << "descriptor " << fd;
    }
    PtyClient client(ports + "/COM1");
    EXPECT_EQ(client.Exchange(kDataRequest).size(), 68u);
    EXPECT_EQ(StopWith(SIGTERM), 0);
}

} // namespace
} // namespace ecu::test
