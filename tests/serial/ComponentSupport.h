#pragma once
// A component on a given port with the settings it starts with (the ECU link's
// stored ones), and a recorder of what it reports.
#include "serial/Comm32.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ecu::test {

inline std::unique_ptr<TComm32> MakeComponent(const std::string& port) {
    auto c = std::make_unique<TComm32>();
    c->SetCommPort(QString::fromStdString(port));
    return c;
}

// The message of the ECommsError that OpenComm raises; empty when it opened.
inline std::string OpenError(TComm32& c) {
    try {
        c.OpenComm();
    } catch (const ECommsError& e) {
        return e.what();
    }
    return {};
}

struct Recorder {
    std::vector<std::string> blocks;
    bool allZeroTerminated = true;
    int hangups = 0;
    std::string order; // 'D' for each block, 'H' for each hang-up, as they came

    void Bind(TComm32& c) {
        c.OnReceiveData = [this](const void* buffer, std::uint16_t length) {
            const auto* bytes = static_cast<const char*>(buffer);
            blocks.emplace_back(bytes, length);
            order += 'D';
            allZeroTerminated = allZeroTerminated && bytes[length] == '\0';
        };
        c.OnRequestHangup = [this](TComm32*) {
            ++hangups;
            order += 'H';
        };
    }
    std::string All() const {
        std::string all;
        for (const auto& b : blocks)
            all += b;
        return all;
    }
    std::size_t Total() const {
        std::size_t n = 0;
        for (const auto& b : blocks)
            n += b.size();
        return n;
    }
};

} // namespace ecu::test
