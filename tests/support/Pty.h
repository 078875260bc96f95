#pragma once
// A pseudo-terminal standing in for an adapter: the test drives the master side, the
// program opens the slave path.
#include <asm/termbits.h>

#include <cstddef>
#include <string>

namespace ecu::test {

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    // The far side goes away, as when the adapter is unplugged.
    void CloseMaster();

    // Writes everything from the master side; false on error or timeout.
    bool Write(const void* data, std::size_t size, int timeoutMs = 10000);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    // Reads until `size` bytes came or the time is up.
    std::string Read(std::size_t size, int timeoutMs = 10000);
    // One read() on the master once it is readable; empty on timeout.
    std::string ReadOnce(int timeoutMs = 10000);
    // The slave's settings, read through a descriptor held open by the test.
    struct termios2 SlaveSettings() const;

private:
    int master_ = -1;
    int heldSlave_ = -1;
    std::string slavePath_;
};

} // namespace ecu::test
