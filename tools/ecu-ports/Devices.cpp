#include "Devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace ecu::ports {

namespace fs = std::filesystem;

namespace {

// Splits "ttyUSB10" into "ttyUSB" and 10 so that numbers sort as numbers.
std::pair<std::string, unsigned long> NumberedName(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    const std::string tail = name.substr(digits).substr(0, 9);
    return {name.substr(0, digits), tail.empty() ? 0 : std::stoul(tail)};
}

bool NumberOrder(const fs::path& a, const fs::path& b) {
    return NumberedName(a.filename().string()) < NumberedName(b.filename().string());
}

// Entries of `dir` whose names start with `prefix`, sorted; none when `dir` cannot be read.
std::vector<fs::path> Entries(const fs::path& dir, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && !name.starts_with("."))
            found.push_back(it->path());
    }
    std::sort(found.begin(), found.end(), NumberOrder);
    return found;
}

} // namespace

std::vector<Device> ScanDevices(const std::string& devRoot) {
    const fs::path root(devRoot);
    std::vector<Device> devices;
    for (const fs::path& byId : Entries(root / "serial" / "by-id", "")) {
        Device d{byId.string(), {}, CheckAccess(byId.string())};
        std::error_code ec;
        const fs::path to = fs::read_symlink(byId, ec);
        if (!ec)
            d.target =
                (to.is_absolute() ? to : byId.parent_path() / to).lexically_normal().string();
        devices.push_back(std::move(d));
    }
    for (const char* prefix : {"ttyUSB", "ttyACM"})
        for (const fs::path& tty : Entries(root, prefix))
            devices.push_back({tty.string(), {}, CheckAccess(tty.string())});
    return devices;
}

} // namespace ecu::ports
