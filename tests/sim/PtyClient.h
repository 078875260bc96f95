#pragma once
// The program's end of the simulator's line, for tests: opens the pty slave raw and reads with
// generous deadlines.
#include "wire/Frames.h"

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

inline const Bytes kDataRequest(DataRequest.begin(), DataRequest.end());
inline const Bytes kResetRequest(ResetRequest.begin(), ResetRequest.end());
inline const Bytes kModeZeroRequest(ModeZeroRequest.begin(), ModeZeroRequest.end());

} // namespace ecu::test
