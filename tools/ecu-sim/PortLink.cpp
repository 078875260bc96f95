#include "ecu-sim/PortLink.h"

#include "serial/PortMap.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace ecu {

namespace fs = std::filesystem;

PortNameTaken::PortNameTaken(const std::string& path, const std::string& target)
    : std::runtime_error(path + " is already linked to " + target), target_(target) {}

PortLink::PortLink(const std::string& name, const std::string& target, Existing existing)
    : target_(target) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        throw std::runtime_error("not a port name: " + name);
    const fs::path dir = PortMapDirectory();
    fs::create_directories(dir);
    const fs::path link = dir / name;

    // A free name is taken with symlink(), which never replaces: two simulators starting at
    // once cannot both win.
    if (::symlink(target.c_str(), link.c_str()) == 0) {
        path_ = link.string();
        return;
    }
    if (errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "link " + link.string());
    if (!fs::is_symlink(fs::symlink_status(link)))
        throw std::runtime_error(link.string() + " exists and is not a symbolic link");
    const std::string previous = fs::read_symlink(link).string();
    if (existing == Existing::Refuse)
        throw PortNameTaken(link.string(), previous);
    SwapPortLink(link.string(), target, "ecu-sim");
    previous_ = previous;
    path_ = link.string();
}

PortLink::~PortLink() {
    std::error_code ec;
    const fs::path current = fs::read_symlink(path_, ec);
    if (ec || current != target_)
        return;
    if (!previous_) {
        fs::remove(path_, ec);
        return;
    }
    try {
        SwapPortLink(path_, *previous_, "ecu-sim");
    } catch (...) {
        // Nothing to report to at exit; the name keeps pointing at the dead line.
    }
}

} // namespace ecu
