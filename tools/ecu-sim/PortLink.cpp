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

PortLink::PortLink(const std::string& name, const std::string& target, Existing existing) {
    if (PortName(name) != name)
        throw std::runtime_error("not a port name: \"" + PrintableName(name) +
                                 "\": use COM1, COM2, … COM256");
    dir_ = PortMapDirectory();
    const PortMapLock lock(dir_);
    // Callers say what SettlePort put right; this catches a simulator that ended since.
    ReleaseDeadClaims(dir_, name);
    const fs::path link = fs::path(dir_) / name;

    // The claim goes first: killed at any later step, the next one finds what to put right.
    claim_ = PortClaim{name, NewClaimId(), target, {}, true};
    fs::create_symlink(target, claim_.ClaimPath(dir_));
    try {
        // A free name is taken with symlink(), which never replaces.
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
        // Kept on disk before the name changes hands, so that it outlives this process.
        fs::create_symlink(previous, claim_.ReplacedPath(dir_));
        claim_.replaced = previous;
        SwapPortLink(link.string(), target, "ecu-sim");
        path_ = link.string();
    } catch (...) {
        std::error_code ec;
        fs::remove(claim_.ReplacedPath(dir_), ec);
        fs::remove(claim_.ClaimPath(dir_), ec);
        throw;
    }
}

PortLink::~PortLink() {
    try {
        const PortMapLock lock(dir_);
        ReleaseClaim(dir_, claim_);
    } catch (...) {
        // Nothing to report to at exit; the claim stays on disk for the next one to settle.
    }
}

} // namespace ecu
