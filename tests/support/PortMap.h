#pragma once
// The private port map every test runs under: a temporary XDG_CONFIG_HOME whose COM1 and
// COM2 lead nowhere until a test points them at a pseudo-terminal. It is the one place
// that keeps tests away from the machine's built-in serial ports (on these machines the
// first of them is the console), so it fails loudly: anything it cannot set up throws.
//
// XDG_CONFIG_HOME points at the map from construction to destruction, then the earlier
// value comes back; maps that live at the same time must end in reverse order.
#include <string>

namespace ecu::test {

class PortMap {
public:
    // Nowhere: COM1 and COM2 linked where no device is. Empty: an empty map folder, for
    // tests of taking and giving back names, which open no port.
    enum class Start { Nowhere, Empty };

    explicit PortMap(Start start = Start::Nowhere);
    ~PortMap();
    PortMap(const PortMap&) = delete;
    PortMap& operator=(const PortMap&) = delete;

    // Points `port` at target (a path that need not exist). Throws when it cannot.
    void Link(const std::string& port, const std::string& target);
    // Points `port` where no device is.
    void LinkNowhere(const std::string& port) { Link(port, Nowhere()); }

    // The temporary folder: XDG_CONFIG_HOME, and room for a test's own files.
    const std::string& Dir() const { return dir_; }
    std::string PortsDir() const { return dir_ + "/ecuscan/ports"; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Where an unlinked-looking port leads: a path nothing is at.
    std::string Nowhere() const { return dir_ + "/absent"; }

private:
    std::string dir_;
    std::string savedXdg_;
    bool hadXdg_ = false;
};

} // namespace ecu::test
