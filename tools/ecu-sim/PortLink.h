#pragma once
// A port-map entry ("COM1" -> a device path) that lives as long as this object.
#include <string>

namespace ecu {

class PortLink {
public:
    // Links `name` in the port map folder to `target`, replacing a stale link of that name.
    // Throws std::runtime_error when the name is not a plain file name or the place is taken
    // by something other than a symbolic link, std::filesystem::filesystem_error on I/O errors.
    PortLink(const std::string& name, const std::string& target);
    // Removes the link, unless it has been pointed elsewhere meanwhile.
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string target_;
};

} // namespace ecu
