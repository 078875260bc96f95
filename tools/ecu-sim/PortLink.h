#pragma once
// A port-map entry ("COM1" -> a device path) that lives as long as this object, with its
// claim kept beside it on disk (see serial/PortClaims.h).
#include "serial/PortClaims.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace ecu {

// The name is already linked, to `Target()`: it belongs to the user (an adapter) or to another
// simulator, and taking it silently would lose that.
class PortNameTaken : public std::runtime_error {
public:
    PortNameTaken(const std::string& path, const std::string& target);
    const std::string& Target() const noexcept { return target_; }

private:
    std::string target_;
};

class PortLink {
public:
    enum class Existing {
        Refuse,  // throw PortNameTaken when the name is linked already
        Replace, // take the name over; the old target comes back when this object ends
    };

    // Links `name` (a port name as PortName spells it) in the port map folder to `target`,
    // after putting right what simulators that ended left on that name. Throws PortNameTaken
    // (see Existing), std::runtime_error when the name is not a port name or the place is
    // taken by something other than a symbolic link, std::system_error or
    // std::filesystem::filesystem_error on I/O errors.
    PortLink(const std::string& name, const std::string& target,
             Existing existing = Existing::Refuse);
    // Puts back the replaced link or removes this one, but only while the name still points at
    // `target`: whoever linked it elsewhere meanwhile owns it now. When a later simulator took
    // the name over, that one puts back the replaced target when it ends.
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    const std::string& Path() const { return path_; }
    // The target the name had before, when it was replaced.
    const std::optional<std::string>& Previous() const { return claim_.replaced; }

private:
    std::string dir_;
    std::string path_;
    PortClaim claim_;
};

} // namespace ecu
