// ecu-ports end to end: the real binary on a device tree of pseudo-terminals and a port map in
// a temporary folder.
#include "Access.h"
#include "ChildProcess.h"
#include "Files.h"
#include "Pty.h"
#include "serial/PortClaims.h"
#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The machine's n-th built-in port, the name "COMn+1" falls back to without a link.
std::string BuiltIn(int n) {
    return ecu::BuiltinPortPrefix + std::to_string(n);
}

namespace fs = std::filesystem;
using ecu::test::Pty;

constexpr uid_t kNobody = 65534;

using Result = ecu::test::ChildResult;

// Counts opens of the watched files from the moment it is made.
class OpenWatch {
public:
    OpenWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenWatch() { ::close(fd_); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool Watch(const std::string& path) {
        return ::inotify_add_watch(fd_, path.c_str(), IN_OPEN) >= 0;
    }
    int Opens() const {
        alignas(inotify_event) char buf[4096];
        int events = 0;
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                events += (e->mask & IN_OPEN) ? 1 : 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        return events;
    }

private:
    int fd_;
};

class EcuPorts : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ecu-ports-test.XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        // Traversable, so that a run as another user sees the tree.
        ::chmod(dir_.c_str(), 0755);
        dev_ = dir_ + "/dev";
        config_ = dir_ + "/config";
        fs::create_directories(dev_ + "/serial/by-id");
        fs::create_directories(config_);
        ASSERT_FALSE(usb0_.SlavePath().empty());
        ASSERT_FALSE(usb10_.SlavePath().empty());
        ASSERT_FALSE(acm0_.SlavePath().empty());
        fs::create_symlink(usb0_.SlavePath(), dev_ + "/ttyUSB0");
        fs::create_symlink(usb10_.SlavePath(), dev_ + "/ttyUSB10");
        fs::create_symlink(acm0_.SlavePath(), dev_ + "/ttyACM0");
        fs::create_symlink("../../ttyUSB0", dev_ + "/serial/by-id/usb-Test_Adapter_A1-if00-port0");
        map_ = config_ + "/ecuscan/ports";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs ecu-ports with `args` and XDG_CONFIG_HOME at the test's map; as user nobody when
    // `asNobody` (the test then runs as root).
    Result Run(const std::vector<std::string>& args, bool asNobody = false,
               const std::string& outPath = {}) const {
        ecu::test::ChildOptions options;
        options.env = {"XDG_CONFIG_HOME=" + config_};
        options.cwd = cwd_;
        if (!outPath.empty())
            options.out = ecu::test::Stream::File(outPath);
        if (asNobody)
            options.beforeExec = [] {
                return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
                       ::setuid(kNobody) == 0;
            };
        return ecu::test::RunChild(ECU_PORTS_PATH, args, {}, options);
    }

    // The device the program would open for `port`, through the same resolution it uses.
    dev_t Resolved(const std::string& port) const {
        const std::string outer = std::getenv("XDG_CONFIG_HOME");
        ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        struct stat st {};
        const bool ok = ::stat(ecu::ResolvePortName(port).c_str(), &st) == 0;
        ::setenv("XDG_CONFIG_HOME", outer.c_str(), 1); // the test entry's own map
        return ok ? st.st_rdev : 0;
    }

    static dev_t DeviceOf(const Pty& pty) {
        struct stat st {};
        return ::stat(pty.SlavePath().c_str(), &st) == 0 ? st.st_rdev : 0;
    }

    std::string dir_, dev_, config_, map_;
    std::string cwd_; // the child's current folder, when set
    Pty usb0_, usb10_, acm0_;
};

TEST_F(EcuPorts, ListsDevicesInOrderWithAccessAndThePortMapWithoutOpeningAny) {
    fs::create_symlink("../../ttyUSB7", dev_ + "/serial/by-id/usb-Gone_B2-if00-port0");
    std::ofstream(dev_ + "/ttyUSB2") << "not a device";
    fs::create_symlink(usb10_.SlavePath(),
                       dev_ + "/" +
                           fs::path(BuiltIn(1)).filename().string()); // the second built-in port
    fs::create_directories(map_);
    fs::create_symlink(dev_ + "/ttyUSB9", map_ + "/COM12"); // a link to an unplugged adapter
    fs::create_symlink(acm0_.SlavePath(), map_ + "/COM3");
    OpenWatch watch;
    for (const Pty* pty : {&usb0_, &usb10_, &acm0_})
        ASSERT_TRUE(watch.Watch(pty->SlavePath()));

    const Result r = Run({"--dev", dev_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string d = dev_;
    EXPECT_EQ(r.out, "Serial devices:\n"
                     "  " +
                         d + "/serial/by-id/usb-Gone_B2-if00-port0 -> " + d +
                         "/ttyUSB7: leads nowhere (adapter unplugged?)\n"
                         "  " +
                         d + "/serial/by-id/usb-Test_Adapter_A1-if00-port0 -> " + d +
                         "/ttyUSB0: you may open it\n"
                         "  " +
                         d +
                         "/ttyUSB0: you may open it\n"
                         "  " +
                         d +
                         "/ttyUSB2: not a serial device\n"
                         "  " +
                         d +
                         "/ttyUSB10: you may open it\n"
                         "  " +
                         d +
                         "/ttyACM0: you may open it\n"
                         "\nPort map " +
                         map_ +
                         ":\n"
                         "  COM1: not linked, means the built-in port " +
                         BuiltIn(0) +
                         ": not on this machine\n"
                         "  COM2: not linked, means the built-in port " +
                         BuiltIn(1) +
                         ": you may open it\n"
                         "  COM3 -> " +
                         acm0_.SlavePath() +
                         ": you may open it\n"
                         "  COM12 -> " +
                         d +
                         "/ttyUSB9: not there (adapter unplugged?)\n"
                         "\nTo use " +
                         d +
                         "/serial/by-id/usb-Test_Adapter_A1-if00-port0 as COM1: "
                         "ecu-ports link COM1 " +
                         d + "/serial/by-id/usb-Test_Adapter_A1-if00-port0\n");
    EXPECT_EQ(watch.Opens(), 0) << "a device was opened";
}

TEST_F(EcuPorts, SuggestsAPresentDeviceAndNothingOnceCom1LeadsToOne) {
    fs::remove(dev_ + "/ttyUSB0"); // the by-id name now leads nowhere
    Result r = Run({"--dev", dev_});
    EXPECT_NE(r.out.find("\nTo use " + dev_ + "/ttyUSB10 as COM1: ecu-ports link COM1 " + dev_ +
                         "/ttyUSB10\n"),
              std::string::npos)
        << r.out;
    ASSERT_EQ(Run({"--dev", dev_, "link", "COM1", "ttyACM0"}).exitCode, 0);
    r = Run({"--dev", dev_});
    EXPECT_EQ(r.out.find("To use"), std::string::npos) << r.out;

    fs::remove_all(dev_);
    fs::create_directories(dev_);
    r = Run({"--dev", dev_});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.starts_with("Serial devices:\n  none found: plug the adapter in; it shows "
                                  "up as ttyUSB* or ttyACM*\n"))
        << r.out;
    EXPECT_NE(r.out.find("  COM1 -> " + dev_ + "/ttyACM0: not there (adapter unplugged?)\n"),
              std::string::npos)
        << r.out;
}

TEST_F(EcuPorts, NeverOpensTheBuiltInPortsOfThisMachine) {
    OpenWatch watch;
    int watched = 0;
    for (const int n : {0, 1})
        watched += watch.Watch(BuiltIn(n).c_str()) ? 1 : 0;
    if (watched == 0)
        GTEST_SKIP() << "no built-in serial ports here";
    const Result r = Run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  COM1: not linked, means the built-in port " + BuiltIn(0)),
              std::string::npos)
        << r.out;
    EXPECT_EQ(watch.Opens(), 0) << "a built-in port was opened";
}

TEST_F(EcuPorts, LinkAndUnlinkEditTheMapTheProgramResolvesThrough) {
    Result r = Run({"--dev", dev_, "link", "COM1", "ttyUSB0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "  COM1 -> " + dev_ + "/ttyUSB0: you may open it\n");
    EXPECT_EQ(fs::read_symlink(map_ + "/COM1"), dev_ + "/ttyUSB0");
    EXPECT_EQ(Resolved("COM1"), DeviceOf(usb0_));

    // Re-pointing says what it replaced; a lower-case name and a relative path are taken.
    cwd_ = dir_;
    r = Run({"link", "com1", "dev/ttyACM0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "COM1 was linked to " + dev_ + "/ttyUSB0\n  COM1 -> " + dev_ +
                         "/ttyACM0: you may open it\n");
    EXPECT_EQ(Resolved("COM1"), DeviceOf(acm0_));
    EXPECT_EQ(Run({"link", "COM2", dev_ + "/serial/by-id/usb-Test_Adapter_A1-if00-port0"}).exitCode,
              0);
    EXPECT_EQ(Resolved("COM2"), DeviceOf(usb0_));
    EXPECT_FALSE(fs::exists(map_ + "/.COM1.ecu-ports." + std::to_string(::getpid())));
    EXPECT_EQ(std::distance(fs::directory_iterator(map_), fs::directory_iterator()), 2);

    r = Run({"unlink", "COM1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("COM1 no longer leads to " + dev_ +
                                  "/ttyACM0\n  COM1: not linked, means the built-in port " +
                                  BuiltIn(0)))
        << r.out;
    EXPECT_FALSE(fs::exists(fs::symlink_status(map_ + "/COM1")));
    EXPECT_TRUE(fs::is_symlink(map_ + "/COM2"));

    r = Run({"unlink", "COM1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: COM1 is not linked in " + map_ + ": it means " + BuiltIn(0) +
                         " already\n");
}

TEST_F(EcuPorts, RefusesBadNamesMissingDevicesAndForeignMapEntries) {
    for (const char* name :
         {"COM0", "COM257", "COM01", "COM+1", "COM 1", "LPT1", "COM", "../COM1", "COM1x"}) {
        const Result r = Run({"--dev", dev_, "link", name, "ttyUSB0"});
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_TRUE(r.err.starts_with("ecu-ports: \"" + std::string(name) +
                                      "\" is not a port name: use COM1, COM2, … COM256\n"))
            << r.err;
    }
    EXPECT_FALSE(fs::exists(map_)) << "a refused edit touched the map";

    Result r = Run({"--dev", dev_, "link", "COM1", "ttyUSB3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: there is no device " + dev_ +
                         "/ttyUSB3 (is the adapter plugged "
                         "in?)\n");
    std::ofstream(dev_ + "/notes.txt") << "x";
    r = Run({"--dev", dev_, "link", "COM1", "notes.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: " + dev_ + "/notes.txt is not a serial device\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(map_ + "/COM1")));

    // Something the user put there by hand is neither replaced nor removed.
    fs::create_directories(map_);
    std::ofstream(map_ + "/COM2") << "mine";
    r = Run({"--dev", dev_, "link", "COM2", "ttyUSB0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: " + map_ + "/COM2 is not a link: move it out of the way first\n");
    r = Run({"unlink", "COM2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ecu::test::ReadFileText(map_ + "/COM2"), "mine");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"link", "COM1"},
                                               {"unlink"},
                                               {"link", "COM3", ""},
                                               {"unlink", "COM1", "COM2"},
                                               {"frob"},
                                               {"--colour"},
                                               {"--dev"}}) {
        r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage: ecu-ports"), std::string::npos) << r.err;
    }
    r = Run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.starts_with("usage: ecu-ports")) << r.out;
    EXPECT_NE(r.out.find("link COMn DEVICE"), std::string::npos);
}

TEST_F(EcuPorts, TellsAUserWithoutAccessWhichGroupOpensTheDevice) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand a device to another user";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        GTEST_SKIP() << "no group dialout";
    // An adapter as udev makes it: group dialout may read and write; one only root may open.
    ASSERT_EQ(::chown(usb0_.SlavePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(usb0_.SlavePath().c_str(), 0660), 0);
    ASSERT_EQ(::chown(acm0_.SlavePath().c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(acm0_.SlavePath().c_str(), 0600), 0);
    ASSERT_EQ(Run({"--dev", dev_, "link", "COM1", "ttyUSB0"}).exitCode, 0);

    const Result r = Run({"--dev", dev_}, true);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string group =
        ": you may not open it\n      to fix: add yourself to group dialout: sudo usermod -aG "
        "dialout $USER, then log out and back in\n";
    EXPECT_NE(r.out.find("  " + dev_ + "/ttyUSB0" + group), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  COM1 -> " + dev_ + "/ttyUSB0" + group), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  " + dev_ +
                         "/ttyACM0: you may not open it\n      to fix: only its "
                         "owner may open it (owner root, group root, crw-------): ask the "
                         "administrator to give a group of yours access to it\n"),
              std::string::npos)
        << r.out;
    // Root itself may open everything.
    EXPECT_NE(Run({"--dev", dev_}).out.find(dev_ + "/ttyACM0: you may open it\n"),
              std::string::npos);
}

TEST_F(EcuPorts, LinksSerialDevicesOnlyAndSaysWhatElseIsThere) {
    const std::pair<const char*, std::string> cases[] = {
        {"/dev/null", "a character device of the mem kind, no terminal"},
        {"/dev/tty", "a terminal of this machine, not a serial port"}};
    for (const auto& [device, what] : cases) {
        const Result r = Run({"link", "COM3", device});
        EXPECT_EQ(r.exitCode, 1) << device;
        EXPECT_EQ(r.err,
                  "ecu-ports: " + std::string(device) + " is not a serial device: " + what + "\n");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(map_ + "/COM3")));
    // One linked by hand is shown for what it is.
    fs::create_directories(map_);
    fs::create_symlink("/dev/null", map_ + "/COM3");
    EXPECT_NE(Run({}).out.find("  COM3 -> /dev/null: not a serial device (a character device of "
                               "the mem kind, no terminal)\n"),
              std::string::npos);
}

// Whatever is in the map is named for what it is, escaped, so that no name fakes a line.
TEST_F(EcuPorts, NamesWhatStandsInTheMapAndEscapesEveryName) {
    fs::create_directories(map_ + "/COM2");
    std::ofstream(map_ + "/COM1") << "notes";
    fs::create_symlink(usb0_.SlavePath(), map_ + "/x\n  COM9 -> ttyUSB9: you may open it");
    fs::create_symlink(usb0_.SlavePath(), map_ + "/com4");
    const Result r = Run({"--dev", dev_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& line :
         {"  COM1: " + map_ +
              "/COM1 is a regular file, not a link: move it out of the way; until "
              "then the scanner refuses COM1\n",
          "  COM2: " + map_ +
              "/COM2 is a folder, not a link: move it out of the way; until then "
              "the scanner refuses COM2\n",
          "  \"com4\" -> " + usb0_.SlavePath() +
              ": not a port name, no program uses it (port names are COM1 … COM256)\n",
          "  \"x\\n  COM9 -> ttyUSB9: you may open it\" -> " + usb0_.SlavePath() + ": not a port"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
    EXPECT_EQ(r.out.find("\n  COM9"), std::string::npos) << r.out;
}

TEST_F(EcuPorts, AMapThatCannotBeReadIsNamedWithTheReasonNeverTakenForEmpty) {
    fs::create_directories(config_);
    std::ofstream(config_ + "/ecuscan") << "not a folder";
    Result r = Run({"--dev", dev_});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\nPort map " + map_ +
                         " cannot be read: Not a directory\n  until it can, the scanner refuses "
                         "COM1, COM2 and every other name\n"),
              std::string::npos)
        << r.out;
    r = Run({"unlink", "COM1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: the port map " + map_ + " cannot be read: Not a directory\n");
    fs::remove(config_ + "/ecuscan");

    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to read the map as another user";
    ASSERT_EQ(Run({"--dev", dev_, "link", "COM1", "ttyUSB0"}).exitCode, 0);
    fs::permissions(config_, fs::perms::all);
    fs::permissions(config_ + "/ecuscan", fs::perms::all);
    fs::permissions(map_, fs::perms::none);
    r = Run({"--dev", dev_}, true);
    EXPECT_NE(r.out.find("\nPort map " + map_ + " cannot be read: Permission denied\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("not linked"), std::string::npos) << r.out;
    r = Run({"unlink", "COM1"}, true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-ports: the port map " + map_ + " cannot be read: Permission denied\n");
    fs::permissions(map_, fs::perms::owner_all);
}

TEST_F(EcuPorts, AnEditThatWasMadeIsSuccessEvenWhenItsReportCannotBeWritten) {
    Result r = Run({"--dev", dev_, "link", "COM3", "ttyUSB0"}, false, "/dev/full");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "ecu-ports: standard output: No space left on device; COM3 was linked all "
                     "the same\n");
    EXPECT_EQ(fs::read_symlink(map_ + "/COM3"), dev_ + "/ttyUSB0");
    r = Run({"--dev", dev_}, false, "/dev/full");
    EXPECT_EQ(r.exitCode, 1) << "a listing nobody can read is a failure";
}

// A simulator killed while it held COM1 over the user's adapter: ecu-ports puts the adapter
// back and says so. The claim's process id is beyond any the kernel hands out.
TEST_F(EcuPorts, PutsBackTheLinkAKilledSimulatorHadReplaced) {
    fs::create_directories(map_);
    fs::create_symlink("/dev/pts/70", map_ + "/COM1");
    fs::create_symlink("/dev/pts/70", map_ + "/COM1.ecu-sim.999999999-1-0");
    fs::create_symlink(dev_ + "/ttyUSB0", map_ + "/COM1.replaced.999999999-1-0");
    const Result r = Run({"--dev", dev_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  COM1 -> " + dev_ +
                         "/ttyUSB0: you may open it\n      led to /dev/pts/70, the line of a "
                         "simulator that had ended: put back " +
                         dev_ + "/ttyUSB0\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(fs::read_symlink(map_ + "/COM1"), dev_ + "/ttyUSB0");
    EXPECT_EQ(std::distance(fs::directory_iterator(map_), fs::directory_iterator()), 1);

    // A running simulator's claim (this process stands in for it) is shown, and kept.
    const std::string live = ecu::NewClaimId();
    fs::create_symlink(acm0_.SlavePath(), map_ + "/COM2");
    fs::create_symlink(acm0_.SlavePath(), map_ + "/COM2.ecu-sim." + live);
    fs::create_symlink(dev_ + "/ttyUSB10", map_ + "/COM2.replaced." + live);
    const Result again = Run({"--dev", dev_});
    EXPECT_NE(again.out.find("  COM2 -> " + acm0_.SlavePath() +
                             ": you may open it\n      ecu-sim (process " +
                             std::to_string(::getpid()) + ") serves it on " + acm0_.SlavePath() +
                             " and puts back " + dev_ + "/ttyUSB10 when it ends\n"),
              std::string::npos)
        << again.out;
    EXPECT_TRUE(fs::is_symlink(map_ + "/COM2.replaced." + live));

    // A link without a claim to a pseudo-terminal that has closed (an older simulator's).
    fs::create_symlink("/dev/pts/999999", map_ + "/COM3");
    EXPECT_NE(
        Run({"--dev", dev_})
            .out.find(
                "  COM3 -> /dev/pts/999999: not there (adapter unplugged?)\n      a "
                "pseudo-terminal that has closed: if a simulator linked it, it has ended and the "
                "link is stale (ecu-ports unlink COM3 removes it)\n"),
        std::string::npos);
}

TEST(AccessFix, AdviceFollowsTheDeviceRightsAndTheUsersGroups) {
    using ecu::ports::AccessFix;
    ecu::ports::DeviceOwner adapter{020660, "root", 20, "dialout", false};
    ecu::ports::Identity mechanic{1000, 1000, "ivan", {1000, 24}};
    EXPECT_EQ(AccessFix(adapter, mechanic), "add yourself to group dialout: sudo usermod -aG "
                                            "dialout $USER, then log out and back in");
    // Added to the group, but this login still has the old groups.
    adapter.userListed = true;
    EXPECT_EQ(AccessFix(adapter, mechanic), "you were added to group dialout after this login "
                                            "began: log out and back in (or run: newgrp dialout)");
    adapter.userListed = false;
    mechanic.primaryGid = 20;
    EXPECT_TRUE(AccessFix(adapter, mechanic).starts_with("you were added to group dialout"));
    // In the group and still refused: not something a group change mends.
    mechanic.groups.push_back(20);
    EXPECT_EQ(AccessFix(adapter, mechanic), "you are in group dialout and still may not open it "
                                            "(owner root, group dialout, crw-rw----): ask the "
                                            "administrator");
    // Never advise joining group root, a group the device gives nothing to, a group usermod
    // cannot name, nor a group at all when the owner's own bits refuse the owner.
    using Owner = ecu::ports::DeviceOwner;
    const std::pair<Owner, std::string> cases[] = {
        {Owner{020660, "root", 0, "root", false},
         "only its owner and group root may open it (owner root, group root, crw-rw----): ask "
         "the administrator to give a group of yours access to it"},
        {Owner{020640, "root", 20, "dialout", false},
         "only its owner may open it (owner root, group dialout, crw-r-----): ask the "
         "administrator to give a group of yours access to it"},
        {Owner{020660, "root", 12345, "12345", false, 0, false},
         "only its owner and group 12345 may open it (owner root, group 12345, crw-rw----), a "
         "group with no name on this machine: ask the administrator to give a group of yours "
         "access to it"},
        {Owner{020060, "ivan", 20, "dialout", false, 1000},
         "it is yours, but its mode does not let its owner read and write it (owner ivan, group "
         "dialout, c---rw----): chmod u+rw it, or have a udev rule give the mode when it "
         "appears"}};
    for (const auto& [owner, advice] : cases)
        EXPECT_EQ(AccessFix(owner, ecu::ports::Identity{1000, 1000, "ivan", {1000}}), advice);
}

} // namespace
