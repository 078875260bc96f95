// The ecu-sim command: its arguments, the port-map link it keeps, its frame log and its exit.
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "ecu-sim/CommandLine.h"
#include "ecu-sim/PortLink.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ecu::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Parse(const std::vector<std::string>& args, SimCommand& c) {
    return ParseSimCommand(args, c);
}

TEST(SimCommandLine, ReadsEveryOption) {
    SimCommand c;
    ASSERT_EQ(Parse({"--variant",
                     "dohc",
                     "--fast",
                     "--as",
                     "COM2",
                     "--log",
                     "f.log",
                     "--device",
                     "/dev/pts/9",
                     "--fault",
                     "silence@2,5",
                     "--fault",
                     "garbage:0.25/all",
                     "--fault",
                     "delay",
                     "--fault-delay",
                     "250",
                     "--partial",
                     "7",
                     "--stray",
                     "F4",
                     "--fault-bytes",
                     "0A5F",
                     "--prom",
                     "BEEF",
                     "--ambient",
                     "-5",
                     "--time-scale",
                     "30",
                     "--baud",
                     "10400",
                     "--seed",
                     "99"},
                    c),
              "");
    const SimOptions& o = c.options;
    EXPECT_EQ(o.variant, EngineVariant::Dohc);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(c.portName, "COM2");
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

TEST(SimCommandLine, RejectsWhatItCannotUse) {
    for (const auto& args : {std::vector<std::string>{"--variant", "v6"},
                             {"--as"},
                             {"--fault", "fire"},
                             {"--fault", "silence:1.5"},
                             {"--fault", "silence@0"},
                             {"--fault", "silence@"},
                             {"--fault", "silence@2,x"},
                             {"--fault-bytes", "0A5"},
                             {"--stray", "100"},
                             {"--time-scale", "0"},
                             {"--baud", "12x"},
                             {"--prom", "12345"},
                             {"--bogus"}}) {
        SimCommand c;
        EXPECT_NE(Parse(args, c), "") << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

class TempConfig : public testing::Test {
protected:
    TempConfig() {
        char tmpl[] = "/tmp/ecu-sim-test.XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        ports = dir + "/ecuscan/ports";
    }
    ~TempConfig() override {
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir);
    }
    std::string dir;
    std::string ports;
};

using SimPortLink = TempConfig;

TEST_F(SimPortLink, LinksWhileAliveReplacesAStaleLinkAndLeavesOnlyItsOwn) {
    fs::create_directories(ports);
    fs::create_symlink("/dev/pts/stale", ports + "/COM1");
    {
        PortLink link("COM1", "/dev/pts/7");
        EXPECT_EQ(fs::read_symlink(ports + "/COM1"), "/dev/pts/7");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/COM1")));

    {
        PortLink link("COM2", "/dev/pts/7");
        fs::remove(ports + "/COM2");
        fs::create_symlink("/dev/pts/8", ports + "/COM2"); // someone else took the name
    }
    EXPECT_EQ(fs::read_symlink(ports + "/COM2"), "/dev/pts/8");
}

TEST_F(SimPortLink, RefusesNamesThatLeaveTheFolderAndPlacesThatAreNotLinks) {
    for (const char* name : {"", ".", "..", "../COM1", "a/b"})
        EXPECT_THROW(PortLink(name, "/dev/pts/7"), std::runtime_error) << name;
    fs::create_directories(ports);
    std::ofstream(ports + "/COM3") << "not a link";
    EXPECT_THROW(PortLink("COM3", "/dev/pts/7"), std::runtime_error);
    EXPECT_TRUE(fs::is_regular_file(ports + "/COM3"));
}

// The command run as a child process with its own port map.
class SimProcess : public TempConfig {
protected:
    void Launch(std::vector<std::string> args) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), ECU_SIM_PATH);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid, ECU_SIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdoutFd = out[0];
        path = ReadLine();
    }
    std::string ReadLine() {
        std::string line;
        char c;
        pollfd p{stdoutFd, POLLIN, 0};
        while (poll(&p, 1, 10000) > 0 && read(stdoutFd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    int StopWith(int signal) {
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~SimProcess() override {
        if (pid > 0)
            StopWith(SIGKILL);
        if (stdoutFd >= 0)
            close(stdoutFd);
    }
    pid_t pid = -1;
    int stdoutFd = -1;
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
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

} // namespace
} // namespace ecu::test
