#include "serial/CommThread.h"

#include <cstdio>
#include <system_error>

namespace ecu {

bool TCommThread::Start() {
    if (thread_.joinable() || !done_.Create())
        return false;
    try {
        thread_ = std::thread(&TCommThread::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool TCommThread::WaitFor(long timeoutMs) const {
    return !thread_.joinable() || done_.Wait(timeoutMs);
}

void TCommThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TCommThread::Run() {
    try {
        Execute();
    } catch (...) {
        // Only memory can run out here; nothing is left to report it with.
        std::fputs("ecuscan: serial thread ended on an unexpected error\n", stderr);
    }
    done_.Set();
}

} // namespace ecu
