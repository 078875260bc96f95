#include "PortMapEdit.h"

#include "serial/PortMap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ecu::ports {

namespace fs = std::filesystem;

namespace {

fs::path LinkPath(const std::string& port) {
    return fs::path(PortMapDirectory()) / port;
}

bool IsLink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISREG(mode))
        return "a regular file";
    return "a special file";
}

// Why `link` cannot be used: what stands in its place, or why it cannot be looked at; empty
// when it is a link or nothing is there.
std::string Obstacle(const fs::path& link) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0)
        return S_ISLNK(st.st_mode) ? std::string()
                                   : PrintableName(link.string()) + " is " + KindOf(st.st_mode) +
                                         ", not a link: move it out of the way";
    if (errno == ENOENT)
        return {};
    return "the port map " + PrintableName(PortMapDirectory()) +
           " cannot be read: " + std::strerror(errno);
}

// The place of a built-in port under the device root used for checks.
std::string UnderRoot(const std::string& device, const std::string& devRoot) {
    if (devRoot != "/dev" && device.starts_with("/dev/"))
        return devRoot + device.substr(4);
    return device;
}

// Puts right what ended simulators left on the name; says why when it cannot.
void Settle(PortEntry& entry) {
    try {
        const std::string dir = PortMapDirectory();
        entry.settled = SettlePort(dir, entry.name);
        entry.claims = ReadClaims(dir, entry.name);
    } catch (const std::exception& e) {
        entry.settleError = e.what();
        entry.claims = ReadClaims(PortMapDirectory(), entry.name);
    }
}

PortEntry Entry(const std::string& name, const std::string& devRoot, const ConsoleLists& consoles) {
    PortEntry entry;
    entry.name = name;
    entry.portName = PortName(name) == name;
    const fs::path link = LinkPath(name);
    entry.problem = Obstacle(link);
    if (!entry.problem.empty())
        return entry;
    if (entry.portName)
        Settle(entry);
    std::string checked;
    std::error_code ec;
    if (IsLink(link)) {
        entry.linked = true;
        entry.device = fs::read_symlink(link, ec).string();
        checked = link.string(); // what the program opens, so relative targets count right
        entry.closedPty = entry.claims.empty() && entry.device.starts_with("/dev/pts/") &&
                          !fs::exists(fs::symlink_status(entry.device, ec));
    } else {
        entry.device = BuiltinPortPrefix + std::to_string(PortNumber(name) - 1);
        checked = UnderRoot(entry.device, devRoot);
    }
    entry.access = CheckAccess(checked);
    struct stat st {};
    entry.console = ::stat(checked.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                    IsActiveConsole(st.st_rdev, consoles);
    return entry;
}

bool PortOrder(const std::string& a, const std::string& b) {
    const bool pa = PortName(a) == a, pb = PortName(b) == b;
    if (pa && pb)
        return PortNumber(a) < PortNumber(b);
    if (pa || pb)
        return pa;
    return a < b;
}

} // namespace

std::string MapFolderProblem() {
    std::error_code ec;
    fs::directory_iterator it(PortMapDirectory(), ec);
    if (!ec || ec == std::errc::no_such_file_or_directory)
        return {};
    return ec.message();
}

std::vector<PortEntry> ListPorts(const std::string& devRoot, const ConsoleLists& consoles) {
    std::vector<std::string> names{"COM1", "COM2"};
    std::error_code ec;
    for (fs::directory_iterator it(PortMapDirectory(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(".") && IsLink(it->path()) && !IsClaimRecord(name) &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), PortOrder);
    std::vector<PortEntry> entries;
    entries.reserve(names.size());
    for (const std::string& name : names)
        entries.push_back(Entry(name, devRoot, consoles));
    return entries;
}

std::optional<std::string> LinkPort(const std::string& port, const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        throw PortMapError("there is no device " + PrintableName(device) +
                           (errno == ENOENT ? " (is the adapter plugged in?)"
                                            : ": " + std::string(std::strerror(errno))));
    std::string what;
    if (!S_ISCHR(st.st_mode))
        throw PortMapError(PrintableName(device) + " is not a serial device");
    if (!IsSerialDevice(st.st_rdev, what))
        throw PortMapError(PrintableName(device) + " is not a serial device: " + what);
    const fs::path link = LinkPath(port);
    try {
        const PortMapLock lock(link.parent_path().string());
        ReleaseDeadClaims(link.parent_path().string(), port);
        // symlink() never replaces, so a free name is taken without a race.
        if (::symlink(device.c_str(), link.c_str()) == 0)
            return std::nullopt;
        if (errno != EEXIST)
            throw std::system_error(errno, std::generic_category(), link.string());
        if (!IsLink(link))
            throw PortMapError(PrintableName(link.string()) +
                               " is not a link: move it out of the way first");
        const std::string previous = fs::read_symlink(link).string();
        SwapPortLink(link.string(), device, "ecu-ports");
        return previous;
    } catch (const PortMapError&) {
        throw;
    } catch (const std::exception& e) {
        throw PortMapError("cannot link " + port + ": " + e.what());
    }
}

std::string UnlinkPort(const std::string& port) {
    const fs::path link = LinkPath(port);
    if (const std::string obstacle = Obstacle(link); !obstacle.empty())
        throw PortMapError(obstacle.starts_with("the port map")
                               ? obstacle
                               : PrintableName(link.string()) +
                                     " is not a link: ecu-ports leaves it alone");
    try {
        const std::string dir = link.parent_path().string();
        std::error_code ec;
        if (fs::is_directory(dir, ec)) {
            const PortMapLock lock(dir);
            ReleaseDeadClaims(dir, port);
        }
        if (!IsLink(link))
            throw PortMapError(port + " is not linked in " + PrintableName(PortMapDirectory()) +
                               ": it means " + BuiltinPortPrefix +
                               std::to_string(PortNumber(port) - 1) + " already");
        std::string previous = fs::read_symlink(link).string();
        fs::remove(link);
        return previous;
    } catch (const PortMapError&) {
        throw;
    } catch (const std::exception& e) {
        throw PortMapError("cannot unlink " + port + ": " + e.what());
    }
}

} // namespace ecu::ports
