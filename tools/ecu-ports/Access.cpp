#include "Access.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ecu::ports {

namespace {

std::string UserName(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw && pw->pw_name ? pw->pw_name : std::to_string(uid);
}

// The group's name, or its number when it has none: usermod takes either.
std::string GroupName(gid_t gid) {
    const group* gr = ::getgrgid(gid);
    return gr && gr->gr_name ? gr->gr_name : std::to_string(gid);
}

bool ListedIn(gid_t gid, const std::string& user) {
    const group* gr = ::getgrgid(gid);
    if (!gr || user.empty())
        return false;
    for (char** member = gr->gr_mem; member && *member; ++member)
        if (user == *member)
            return true;
    return false;
}

constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;
constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;

// Device numbers of the kernel's own terminals (include/uapi/linux/major.h).
constexpr unsigned kTtyMajor = 4; // tty0..tty63 virtual consoles, then ttyS*
constexpr unsigned kVirtualConsoles = 64;
constexpr unsigned kTtyAuxMajor = 5;     // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned kPtySlaveMajor = 136; // /dev/pts/*
constexpr unsigned kPtySlaveMajorCount = 8;

// The subsystem sysfs files the device under, "" when it has no entry.
std::string Subsystem(dev_t rdev, const std::string& sysRoot) {
    const std::string link = sysRoot + "/dev/char/" + std::to_string(major(rdev)) + ":" +
                             std::to_string(minor(rdev)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string path(target, static_cast<std::size_t>(n));
    return path.substr(path.rfind('/') + 1);
}

} // namespace

Identity Identity::Current() {
    Identity who;
    who.uid = ::geteuid();
    who.primaryGid = ::getegid();
    if (const passwd* pw = ::getpwuid(who.uid)) {
        who.user = pw->pw_name ? pw->pw_name : "";
        who.primaryGid = pw->pw_gid;
    }
    who.groups.push_back(::getegid());
    const int n = ::getgroups(0, nullptr);
    if (n > 0) {
        std::vector<gid_t> extra(static_cast<std::size_t>(n));
        const int got = ::getgroups(n, extra.data());
        extra.resize(static_cast<std::size_t>(std::max(got, 0)));
        who.groups.insert(who.groups.end(), extra.begin(), extra.end());
    }
    return who;
}

std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
    static constexpr mode_t kBits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                                       S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    for (std::size_t i = 0; i < 9; ++i)
        text += (mode & kBits[i]) ? "rwx"[i % 3] : '-';
    return text;
}

std::string AccessFix(const DeviceOwner& owner, const Identity& who) {
    const std::string rights = " (owner " + owner.ownerName + ", group " + owner.groupName + ", " +
                               ModeText(owner.mode) + ")";
    // The owner's bits are the only ones that count for the owner.
    if (owner.uid == who.uid && (owner.mode & kOwnerReadWrite) != kOwnerReadWrite)
        return "it is yours, but its mode does not let its owner read and write it" + rights +
               ": chmod u+rw it, or have a udev rule give the mode when it appears";
    const bool groupMayOpen = (owner.mode & kGroupReadWrite) == kGroupReadWrite;
    if (!groupMayOpen)
        return "only its owner may open it" + rights +
               ": ask the administrator to give a group of yours access to it";
    // Group root is never the answer: membership of it opens far more than one port.
    if (owner.gid == 0)
        return "only its owner and group root may open it" + rights +
               ": ask the administrator to give a group of yours access to it";
    const std::string& group = owner.groupName;
    if (std::find(who.groups.begin(), who.groups.end(), owner.gid) != who.groups.end())
        return "you are in group " + group + " and still may not open it" + rights +
               ": ask the administrator";
    if (!owner.groupNamed)
        return "only its owner and group " + group + " may open it" + rights +
               ", a group with "
               "no name on this machine: ask the administrator to give a group of yours access "
               "to it";
    if (owner.userListed || who.primaryGid == owner.gid)
        return "you were added to group " + group +
               " after this login began: log out and back in (or run: newgrp " + group + ")";
    return "add yourself to group " + group + ": sudo usermod -aG " + group +
           " $USER, then log out and back in";
}

bool IsSerialDevice(dev_t rdev, std::string& what, const std::string& sysRoot) {
    const unsigned maj = major(rdev), min = minor(rdev);
    if (maj >= kPtySlaveMajor && maj < kPtySlaveMajor + kPtySlaveMajorCount)
        return true;
    if (maj == kTtyAuxMajor || (maj == kTtyMajor && min < kVirtualConsoles)) {
        what = "a terminal of this machine, not a serial port";
        return false;
    }
    const std::string subsystem = Subsystem(rdev, sysRoot);
    if (subsystem == "tty")
        return true;
    what = subsystem.empty() ? "a character device that is no terminal"
                             : "a character device of the " + subsystem + " kind, no terminal";
    return false;
}

Access CheckAccess(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {Access::State::Missing, {}};
    if (!S_ISCHR(st.st_mode))
        return {Access::State::NotADevice, {}};
    if (std::string what; !IsSerialDevice(st.st_rdev, what))
        return {Access::State::NotADevice, what};
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0)
        return {Access::State::Allowed, {}};
    const Identity who = Identity::Current();
    DeviceOwner owner;
    owner.mode = st.st_mode;
    owner.ownerName = UserName(st.st_uid);
    owner.gid = st.st_gid;
    owner.groupName = GroupName(st.st_gid);
    owner.userListed = ListedIn(st.st_gid, who.user);
    owner.uid = st.st_uid;
    owner.groupNamed = ::getgrgid(st.st_gid) != nullptr;
    return {Access::State::Denied, AccessFix(owner, who)};
}

} // namespace ecu::ports
