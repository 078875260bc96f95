#include "serial/PortMap.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace ecu {

std::string PortMapDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/ecuscan/ports";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/ecuscan/ports";
}

std::string ResolvePortName(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    const std::filesystem::path link = std::filesystem::path(PortMapDirectory()) / name;
    std::error_code ec;
    if (std::filesystem::is_symlink(link, ec))
        return link.string(); // opened through the link, so a re-pointed link is followed
    // "COMn" without a link is the n-th built-in port.
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
        char* end = nullptr;
        const long n = std::strtol(name.c_str() + 3, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 256)
            return BuiltinPortPrefix + std::to_string(n - 1);
    }
    return name;
}

void SwapPortLink(const std::string& link, const std::string& target, const std::string& owner) {
    namespace fs = std::filesystem;
    const fs::path path(link);
    const fs::path temp = path.parent_path() / ("." + path.filename().string() + "." + owner + "." +
                                                std::to_string(::getpid()));
    std::error_code ec;
    fs::remove(temp, ec);
    fs::create_symlink(target, temp);
    try {
        fs::rename(temp, path);
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
}

} // namespace ecu
