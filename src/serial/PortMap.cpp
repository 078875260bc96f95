#include "serial/PortMap.h"

#include "serial/PortClaims.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ecu {

namespace {

constexpr std::size_t kPrefixLength = 3; // "COM"
constexpr std::size_t kMaxDigits = 3;    // up to 256

bool IsComPrefix(std::string_view text) {
    return text.size() == kPrefixLength &&
           std::equal(text.begin(), text.end(), "COM", [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

// A simulator killed before it could give the name back leaves it leading to its line,
// whose number the next terminal opened on the machine takes over.
void RefuseDeadSimulatorLine(const std::string& dir, const std::string& port,
                             const std::string& link) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(link, ec).string();
    if (ec)
        return;
    for (const PortClaim& claim : ReadClaims(dir, port))
        if (!claim.alive && claim.line == target)
            throw PortNameError(port + " leads to " + PrintableName(target) +
                                std::string(", the line of a simulator that has ended: ecu-ports "
                                            "puts the port map right"));
}

} // namespace

std::string PortMapDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/ecuscan/ports";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/ecuscan/ports";
}

std::optional<std::string> PortName(std::string_view name) {
    if (name.size() <= kPrefixLength || name.size() > kPrefixLength + kMaxDigits ||
        !IsComPrefix(name.substr(0, kPrefixLength)))
        return std::nullopt;
    const std::string_view digits = name.substr(kPrefixLength);
    if (digits.front() == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = 0;
    for (const char c : digits)
        n = n * 10 + (c - '0');
    if (n > kLastPortNumber)
        return std::nullopt;
    return "COM" + std::to_string(n);
}

int PortNumber(const std::string& portName) {
    return std::atoi(portName.c_str() + kPrefixLength);
}

std::string PrintableName(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
        case '"':
            out += '\\';
            out += c;
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string ResolvePortName(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    const auto port = PortName(name);
    if (!port)
        throw PortNameError("not a port name: use COM1, COM2, … COM256 or a device path");
    const std::string dir = PortMapDirectory();
    std::string link = dir + "/" + *port;
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            throw PortNameError(link + " is in the port map and is not a link");
        RefuseDeadSimulatorLine(dir, *port, link);
        return link; // opened through the link, so a re-pointed link is followed
    }
    if (errno != ENOENT)
        throw PortNameError("the port map " + dir + " cannot be read: " + std::strerror(errno));
    return BuiltinPortPrefix + std::to_string(PortNumber(*port) - 1);
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
