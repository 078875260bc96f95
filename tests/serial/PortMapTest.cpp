// Port names through the per-user port map. Nothing here opens a device.
#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace ecu {
namespace {

namespace fs = std::filesystem;

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
    EXPECT_EQ(ResolvePortName("COM2"), std::string(BuiltinPortPrefix) + "1");
    EXPECT_EQ(ResolvePortName("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(ResolvePortName("COM0"), "COM0");
    EXPECT_EQ(ResolvePortName("COM1x"), "COM1x");
}

} // namespace
} // namespace ecu
