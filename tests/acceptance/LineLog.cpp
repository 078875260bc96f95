#include "LineLog.h"

#include <algorithm>

namespace ecu::accept {

Bytes Exchange::Sent() const {
    Bytes all = echo;
    all.insert(all.end(), answer.begin(), answer.end());
    return all;
}

LineLog ReadLineLog(const EcuSimulator& sim, bool whole) {
    LineLog log;
    // Frames first: a byte written is always the reaction to a frame already logged.
    log.frames = sim.Frames();
    const Bytes sent = sim.SentBytes();
    std::size_t at = 0;
    for (std::size_t i = 0; i < log.frames.size(); ++i) {
        const SimFrame& frame = log.frames[i];
        const std::size_t end = at + frame.bytes.size();
        if (end > sent.size() || !std::equal(frame.bytes.begin(), frame.bytes.end(),
                                             sent.begin() + static_cast<std::ptrdiff_t>(at))) {
            if (whole || end <= sent.size())
                log.error = "frame " + std::to_string(i + 1) + " was not echoed in place";
            break;
        }
        Exchange x{frame.bytes, frame.bytes, {}};
        at = end;
        // An answer is one frame: F4, its length byte, then that many less 0x55 bytes and a
        // checksum. Every request the scanner sends is answered.
        const std::string which = "frame " + std::to_string(i + 1);
        if (at < sent.size() &&
            (sent[at] != 0xF4 || (at + 1 < sent.size() && sent[at + 1] < 0x56))) {
            log.error = which + " was answered with something else than a frame";
            break;
        }
        const std::size_t size = at + 1 < sent.size() ? sent[at + 1] - 0x55u + 3u : 0;
        if (size == 0 || at + size > sent.size()) {
            if (whole)
                log.error = which + " got no whole answer";
            break;
        }
        x.answer.assign(sent.begin() + static_cast<std::ptrdiff_t>(at),
                        sent.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        log.exchanges.push_back(std::move(x));
    }
    if (log.error.empty() && whole && at != sent.size())
        log.error = std::to_string(sent.size() - at) + " bytes written after the last answer";
    for (const Exchange& x : log.exchanges)
        if (x.request == kDataRequest)
            log.data.push_back(&x);
    return log;
}

std::string FrameLetters(const std::vector<SimFrame>& frames, const std::vector<Bytes>& controls) {
    std::string letters;
    for (const SimFrame& f : frames) {
        char c = 'x';
        if (!f.valid)
            c = 'x';
        else if (f.bytes == kDataRequest)
            c = 'D';
        else if (f.bytes == kResetRequest)
            c = 'R';
        else if (f.bytes == kModeZeroRequest)
            c = 'Z';
        else if (const auto it = std::find(controls.begin(), controls.end(), f.bytes);
                 it != controls.end())
            c = static_cast<char>('a' + (it - controls.begin()));
        letters += c;
    }
    return letters;
}

} // namespace ecu::accept
