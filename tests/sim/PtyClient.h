#pragma once
// The program's end of the simulator's line, for tests: opens the pty slave raw and reads with
// generous deadlines.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ecu::test {

using Bytes = std::vector<std::uint8_t>;

class PtyClient {
public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    void Write(const Bytes& bytes);
    // Reads until `count` bytes have come or the timeout passed; returns what came.
    Bytes ReadCount(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads everything that comes until the line has been quiet for `quiet`.
    Bytes ReadUntilQuiet(std::chrono::milliseconds quiet,
                         std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Write, then collect the exchange until quiet.
    Bytes Exchange(const Bytes& request,
                   std::chrono::milliseconds quiet = std::chrono::milliseconds(150));

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

inline const Bytes kDataRequest{0xF4, 0x56, 0x01, 0xB5};
inline const Bytes kResetRequest{0xF4, 0x56, 0x05, 0xB1};
inline const Bytes kModeZeroRequest{0xF4, 0x56, 0x00, 0xB6};

} // namespace ecu::test
