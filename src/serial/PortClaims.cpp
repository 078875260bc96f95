#include "serial/PortClaims.h"

#include "serial/PortMap.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace ecu {

namespace fs = std::filesystem;

namespace {

constexpr const char* kClaimTag = ".ecu-sim.";
constexpr const char* kReplacedTag = ".replaced.";
constexpr int kStartTimeField = 22; // of /proc/PID/stat, counted from 1

// The process's start time in clock ticks since boot; empty when it is not running.
std::string StartTime(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return {};
    // The command name (field 2) may hold spaces and parentheses: count after its end.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int n = 3; n <= kStartTimeField && fields >> field; ++n)
        if (n == kStartTimeField)
            return field;
    return {};
}

bool Alive(const std::string& id) {
    const auto dash = id.find('-');
    const auto second = id.find('-', dash + 1);
    if (dash == std::string::npos || second == std::string::npos)
        return false;
    const std::string start = StartTime(id.substr(0, dash));
    return !start.empty() && start == id.substr(dash + 1, second - dash - 1);
}

std::optional<std::string> LinkTarget(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec)
        return std::nullopt;
    return target.string();
}

// "COM1.ecu-sim.ID" -> {"COM1", "ID"} for a valid port name.
std::optional<std::pair<std::string, std::string>> SplitRecord(const std::string& name,
                                                               const char* tag) {
    const auto at = name.find(tag);
    if (at == std::string::npos)
        return std::nullopt;
    const std::string port = name.substr(0, at);
    const std::string id = name.substr(at + std::char_traits<char>::length(tag));
    if (PortName(port) != port || id.empty())
        return std::nullopt;
    return std::pair{port, id};
}

void RemoveLink(const std::string& path) {
    std::error_code ec;
    if (!fs::remove(path, ec) && ec && ec != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("remove", path, ec);
}

} // namespace

std::string PortClaim::ClaimPath(const std::string& dir) const {
    return dir + "/" + port + kClaimTag + id;
}

std::string PortClaim::ReplacedPath(const std::string& dir) const {
    return dir + "/" + port + kReplacedTag + id;
}

PortMapLock::PortMapLock(const std::string& dir) {
    fs::create_directories(dir);
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        throw fs::filesystem_error("open", dir, std::error_code(errno, std::generic_category()));
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

PortMapLock::~PortMapLock() {
    ::close(fd_); // releases the lock
}

std::vector<PortClaim> ReadClaims(const std::string& dir, const std::string& port) {
    std::vector<PortClaim> claims;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto parts = SplitRecord(it->path().filename().string(), kClaimTag);
        if (!parts || parts->first != port)
            continue;
        PortClaim claim{parts->first, parts->second, {}, {}, false};
        const auto line = LinkTarget(claim.ClaimPath(dir));
        if (!line)
            continue;
        claim.line = *line;
        claim.replaced = LinkTarget(claim.ReplacedPath(dir));
        claim.alive = Alive(claim.id);
        claims.push_back(std::move(claim));
    }
    return claims;
}

bool IsClaimRecord(const std::string& name) {
    return SplitRecord(name, kClaimTag) || SplitRecord(name, kReplacedTag);
}

std::string NewClaimId() {
    static std::atomic<unsigned> serial{0};
    const std::string pid = std::to_string(::getpid());
    return pid + "-" + StartTime(pid) + "-" + std::to_string(serial++);
}

Released ReleaseClaim(const std::string& dir, const PortClaim& claim) {
    const std::string link = dir + "/" + claim.port;
    // Read again: a simulator that ended before this one may have handed its target on.
    const auto replaced = LinkTarget(claim.ReplacedPath(dir));
    Released done{claim, Released::Action::LeftAsIs, replaced};
    if (LinkTarget(link) == claim.line) {
        if (replaced)
            SwapPortLink(link, *replaced, "ecu-sim");
        else
            RemoveLink(link);
        done.action = replaced ? Released::Action::PutBack : Released::Action::Freed;
    } else {
        // A later simulator took the name over from this one: it is to put back what this
        // one replaced, or nothing.
        for (const PortClaim& later : ReadClaims(dir, claim.port)) {
            if (later.id == claim.id || later.replaced != claim.line)
                continue;
            if (replaced)
                SwapPortLink(later.ReplacedPath(dir), *replaced, "ecu-sim");
            else
                RemoveLink(later.ReplacedPath(dir));
            done.action = Released::Action::HandedOn;
            break;
        }
    }
    RemoveLink(claim.ReplacedPath(dir));
    RemoveLink(claim.ClaimPath(dir));
    return done;
}

std::vector<Released> ReleaseDeadClaims(const std::string& dir, const std::string& port) {
    std::vector<Released> released;
    // One at a time, reading again after each: a release may hand a target on to another.
    for (;;) {
        const auto claims = ReadClaims(dir, port);
        const auto dead =
            std::find_if(claims.begin(), claims.end(), [](const PortClaim& c) { return !c.alive; });
        if (dead == claims.end())
            return released;
        released.push_back(ReleaseClaim(dir, *dead));
    }
}

std::vector<Released> SettlePort(const std::string& dir, const std::string& port) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return {};
    const PortMapLock lock(dir);
    return ReleaseDeadClaims(dir, port);
}

std::string ReleasedText(const Released& released) {
    const std::string line = PrintableName(released.claim.line);
    const std::string target = released.target ? PrintableName(*released.target) : "";
    switch (released.action) {
    case Released::Action::PutBack:
        return "led to " + line + ", the line of a simulator that had ended: put back " + target;
    case Released::Action::Freed:
        return "led to " + line + ", the line of a simulator that had ended: unlinked";
    case Released::Action::HandedOn:
        return "a simulator that had ended on " + line + " was taken over by another, which now " +
               (released.target ? "puts back " + target : std::string("unlinks it")) +
               " when it ends";
    case Released::Action::LeftAsIs:
        break;
    }
    return "a simulator that had ended on " + line + " left its claim: removed";
}

} // namespace ecu
