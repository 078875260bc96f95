#include "ecu-sim/PortLink.h"

#include "serial/PortMap.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace ecu {

namespace fs = std::filesystem;

PortLink::PortLink(const std::string& name, const std::string& target) : target_(target) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        throw std::runtime_error("not a port name: " + name);
    const fs::path dir = PortMapDirectory();
    fs::create_directories(dir);
    const fs::path link = dir / name;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status))
        throw std::runtime_error(link.string() + " exists and is not a symbolic link");
    // Built aside and renamed into place, so the name never points nowhere.
    const fs::path temp = dir / ("." + name + ".ecu-sim." + std::to_string(::getpid()));
    fs::remove(temp, ec);
    fs::create_symlink(target, temp);
    try {
        fs::rename(temp, link);
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
    path_ = link.string();
}

PortLink::~PortLink() {
    std::error_code ec;
    if (fs::is_symlink(path_, ec) && fs::read_symlink(path_, ec) == target_ && !ec)
        fs::remove(path_, ec);
}

} // namespace ecu
