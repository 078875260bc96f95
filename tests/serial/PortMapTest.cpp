// Port names through the per-user port map. Nothing here opens a device.
#include "serial/PortMap.h"

#include "serial/PortClaims.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ecu {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

class PortMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        Save("XDG_CONFIG_HOME", xdg_);
        Save("HOME", home_);
        char tmpl[] = "/tmp/ecuscan-portmap-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        Restore("XDG_CONFIG_HOME", xdg_);
        Restore("HOME", home_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static void Save(const char* name, std::optional<std::string>& slot) {
        if (const char* v = std::getenv(name))
            slot = v;
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot)
            ::setenv(name, slot->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> xdg_, home_;
    fs::path dir_;
};

TEST_F(PortMapTest, FolderFollowsXdgConfigHomeElseHome) {
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    EXPECT_EQ(PortMapDirectory(), dir_.string() + "/ecuscan/ports");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/mechanic", 1);
    EXPECT_EQ(PortMapDirectory(), "/home/mechanic/.config/ecuscan/ports");
}

TEST_F(PortMapTest, LinkedNamesFollowTheLinkOthersMapToBuiltInPorts) {
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    fs::create_directories(dir_ / "ecuscan/ports");
    fs::create_symlink("/dev/ttyUSB0", dir_ / "ecuscan/ports/COM1");

    const std::string com1 = ResolvePortName("COM1");
    EXPECT_EQ(fs::read_symlink(com1), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("com1"), com1);
    EXPECT_EQ(ResolvePortName("COM2"), std::string(BuiltinPortPrefix) + "1");
    EXPECT_EQ(ResolvePortName("COM256"), std::string(BuiltinPortPrefix) + "255");
    EXPECT_EQ(ResolvePortName("/dev/pts/7"), "/dev/pts/7");
}

// Every spelling but the one rule's is refused, never read as COM1 nor opened as a file.
TEST_F(PortMapTest, NamesOutsideTheRuleReachNoDevice) {
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    fs::create_directories(dir_ / "ecuscan/ports");
    fs::create_symlink("/dev/ttyUSB0", dir_ / "ecuscan/ports/COM1");
    for (const char* name : {"COM01", "COM+1", "COM 1", " COM1", "COM1 ", "COM-1", "COM0", "COM257",
                             "COM1x", "COM", "LPT1", "", "ttyUSB0", "../COM1", "COM1/", "COM\n1"}) {
        EXPECT_FALSE(PortName(name).has_value()) << PrintableName(name);
        EXPECT_THROW(ResolvePortName(name), PortNameError) << PrintableName(name);
    }
    EXPECT_EQ(PortName("cOm12"), "COM12");
    EXPECT_EQ(PortNumber("COM256"), 256);
}

// What stands in the map, or keeps it from being read, is an error naming it; the built-in
// port is never the answer to an error.
TEST_F(PortMapTest, AMapThatCannotTellWhereANameLeadsIsAnError) {
    const fs::path config = dir_ / "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string ports = config.string() + "/ecuscan/ports";
    auto message = [](const std::string& name) {
        try {
            return "resolved to " + ResolvePortName(name);
        } catch (const PortNameError& e) {
            return std::string(e.what());
        }
    };
    // No map at all: every name is the built-in port.
    EXPECT_EQ(message("COM1"), "resolved to " + std::string(BuiltinPortPrefix) + "0");

    fs::create_directories(config);
    std::ofstream(config / "ecuscan") << "not a folder";
    EXPECT_EQ(message("COM1"), "the port map " + ports + " cannot be read: Not a directory");
    fs::remove(config / "ecuscan");

    fs::create_directories(ports + "/COM1");
    std::ofstream(ports + "/COM2") << "notes";
    EXPECT_EQ(message("COM1"), ports + "/COM1 is in the port map and is not a link");
    EXPECT_EQ(message("COM2"), ports + "/COM2 is in the port map and is not a link");
    fs::remove(ports + "/COM1");
    fs::remove(ports + "/COM2");

    // A folder its owner closed, read by an ordinary user (root reads any folder).
    fs::permissions(dir_, fs::perms::all);
    fs::permissions(config, fs::perms::all);
    fs::permissions(config / "ecuscan", fs::perms::all);
    fs::permissions(ports, fs::perms::none);
    const std::string expected = "the port map " + ports + " cannot be read: Permission denied";
    const pid_t child = ::fork();
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        ::_exit(message("COM1") == expected ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    fs::permissions(ports, fs::perms::owner_all);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "expected: " << expected;
}

TEST(PrintableName, ControlCharactersQuotesAndBackslashesAreEscaped) {
    EXPECT_EQ(PrintableName("COM1"), "COM1");
    EXPECT_EQ(PrintableName("a\nCOM2 -> /dev/x\t\"q\"\\\x01\x7f"),
              "a\\nCOM2 -> /dev/x\\t\\\"q\\\"\\\\\\x01\\x7f");
    EXPECT_EQ(PrintableName("порт"), "порт");
}

// A simulator killed at any step of taking or giving back COM1 leaves records that the next
// one to look settles: the user's link comes back, a link someone else made stays, and no
// record is left. The dead claim's process id is beyond any the kernel hands out.
TEST_F(PortMapTest, WhatAKilledSimulatorLeftIsPutRight) {
    using Map = std::map<std::string, std::string>;
    const std::string dead = "999999999-1-0", live = NewClaimId();
    const std::string claimA = "COM1.ecu-sim." + dead, keptA = "COM1.replaced." + dead;
    const std::string claimB = "COM1.ecu-sim." + live, keptB = "COM1.replaced." + live;
    const std::string user = "/dev/ttyUSB0", lineA = "/dev/pts/70", lineB = "/dev/pts/71";
    struct Case {
        const char* step;
        Map before, after;
    };
    const Case cases[] = {
        {"claim written", {{claimA, lineA}, {"COM1", user}}, {{"COM1", user}}},
        {"free name taken", {{claimA, lineA}, {"COM1", lineA}}, {}},
        {"kept target written", {{claimA, lineA}, {keptA, user}, {"COM1", user}}, {{"COM1", user}}},
        {"name taken over", {{claimA, lineA}, {keptA, user}, {"COM1", lineA}}, {{"COM1", user}}},
        {"kept target removed", {{claimA, lineA}, {"COM1", user}}, {{"COM1", user}}},
        {"changed by someone else",
         {{claimA, lineA}, {keptA, user}, {"COM1", "/dev/ttyUSB1"}},
         {{"COM1", "/dev/ttyUSB1"}}},
        {"taken over again by a running one",
         {{claimA, lineA}, {keptA, user}, {claimB, lineB}, {keptB, lineA}, {"COM1", lineB}},
         {{claimB, lineB}, {keptB, user}, {"COM1", lineB}}},
    };
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    const std::string ports = PortMapDirectory();
    for (const Case& c : cases) {
        fs::remove_all(ports);
        fs::create_directories(ports);
        for (const auto& [name, target] : c.before)
            fs::create_symlink(target, ports + "/" + name);
        if (c.before.at("COM1") == lineA) { // the program never opens a dead simulator's line
            EXPECT_THROW(ResolvePortName("COM1"), PortNameError) << c.step;
        }
        {
            const PortMapLock lock(ports);
            ReleaseDeadClaims(ports, "COM1");
        }
        Map after;
        for (const auto& entry : fs::directory_iterator(ports))
            after[entry.path().filename().string()] = fs::read_symlink(entry.path()).string();
        EXPECT_EQ(after, c.after) << c.step;
    }
}

} // namespace
} // namespace ecu
