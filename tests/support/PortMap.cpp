#include "PortMap.h"

#include "serial/PortMap.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace ecu::test {

namespace fs = std::filesystem;

PortMap::PortMap(Start start) {
    char tmpl[] = "/tmp/ecu-test-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr)
        throw std::runtime_error("port map: cannot make a temporary folder");
    dir_ = tmpl;
    fs::create_directories(PortsDir());
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadXdg_ = true;
        savedXdg_ = old;
    }
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    if (start == Start::Empty)
        return;
    LinkNowhere("COM1");
    LinkNowhere("COM2");
}

PortMap::~PortMap() {
    if (hadXdg_)
        ::setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void PortMap::Link(const std::string& port, const std::string& target) {
    const fs::path link = fs::path(PortsDir()) / port;
    // Swapped in one step: a port opened meanwhile never finds the name unlinked.
    SwapPortLink(link.string(), target, "test");
    // Checked through the program's own resolution: a name that does not land on the
    // target could mean a built-in port.
    if (ResolvePortName(port) != link.string() || fs::read_symlink(link) != target)
        throw std::runtime_error("port map: " + port + " does not lead to " + target);
}

} // namespace ecu::test
