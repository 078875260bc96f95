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

// The place of a built-in port under the device root used for checks.
std::string UnderRoot(const std::string& device, const std::string& devRoot) {
    if (devRoot != "/dev" && device.starts_with("/dev/"))
        return devRoot + device.substr(4);
    return device;
}

PortEntry Entry(const std::string& name, const std::string& devRoot, const ConsoleLists& consoles) {
    PortEntry entry;
    entry.name = name;
    const fs::path link = LinkPath(name);
    std::string checked;
    std::error_code ec;
    if (IsLink(link)) {
        entry.linked = true;
        entry.device = fs::read_symlink(link, ec).string();
        checked = link.string(); // what the program opens, so relative targets count right
    } else {
        entry.device = ResolvePortName(name);
        checked = UnderRoot(entry.device, devRoot);
    }
    entry.access = CheckAccess(checked);
    struct stat st {};
    entry.console = ::stat(checked.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                    IsActiveConsole(st.st_rdev, consoles);
    return entry;
}

bool PortOrder(const std::string& a, const std::string& b) {
    const auto pa = PortName(a), pb = PortName(b);
    if (pa && pb)
        return PortNumber(*pa) < PortNumber(*pb);
    if (pa || pb)
        return pa.has_value();
    return a < b;
}

} // namespace

std::vector<PortEntry> ListPorts(const std::string& devRoot, const ConsoleLists& consoles) {
    std::vector<std::string> names{"COM1", "COM2"};
    std::error_code ec;
    for (fs::directory_iterator it(PortMapDirectory(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(".") && IsLink(it->path()) &&
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
        throw PortMapError("there is no device " + device +
                           (errno == ENOENT ? " (is the adapter plugged in?)"
                                            : ": " + std::string(std::strerror(errno))));
    if (!S_ISCHR(st.st_mode))
        throw PortMapError(device + " is not a serial device");
    const fs::path link = LinkPath(port);
    try {
        fs::create_directories(link.parent_path());
        // symlink() never replaces, so a free name is taken without a race.
        if (::symlink(device.c_str(), link.c_str()) == 0)
            return std::nullopt;
        if (errno != EEXIST)
            throw std::system_error(errno, std::generic_category(), link.string());
        if (!IsLink(link))
            throw PortMapError(link.string() + " is not a link: move it out of the way first");
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
    if (!IsLink(link)) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(link, ec)))
            throw PortMapError(link.string() + " is not a link: ecu-ports leaves it alone");
        throw PortMapError(port + " is not linked in " + PortMapDirectory() + ": it means " +
                           ResolvePortName(port) + " already");
    }
    try {
        std::string previous = fs::read_symlink(link).string();
        fs::remove(link);
        return previous;
    } catch (const std::exception& e) {
        throw PortMapError("cannot unlink " + port + ": " + e.what());
    }
}

} // namespace ecu::ports
