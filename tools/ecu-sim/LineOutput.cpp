#include "ecu-sim/LineOutput.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace ecu {

void LineOutput::Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest,
                       Source source) {
    Clock::time_point& tail = tail_[static_cast<int>(source)];
    for (const std::uint8_t b : bytes) {
        const Clock::time_point due = std::max(earliest, tail + byteTime_);
        const auto at =
            std::upper_bound(pending_.begin(), pending_.end(), due,
                             [](Clock::time_point t, const Byte& p) { return t < p.due; });
        pending_.insert(at, {b, due});
        tail = due;
    }
}

LineOutput::Clock::time_point LineOutput::FreeAt(Source source, Clock::time_point now) const {
    return std::max(now, tail_[static_cast<int>(source)] + byteTime_);
}

bool LineOutput::Flush(int fd, Clock::time_point now, std::vector<std::uint8_t>* written) {
    std::vector<std::uint8_t> due;
    for (const Byte& b : pending_) {
        if (b.due > now)
            break;
        due.push_back(b.value);
    }
    std::size_t done = 0;
    int err = 0;
    while (done < due.size()) {
        const ssize_t n = ::write(fd, due.data() + done, due.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: the other side is not reading yet; anything else: nobody to hear it.
        err = n < 0 ? errno : EIO;
        break;
    }
    const bool blocked = done < due.size() && (err == EAGAIN || err == EWOULDBLOCK);
    if (written)
        written->insert(written->end(), due.begin(),
                        due.begin() + static_cast<std::ptrdiff_t>(done));
    if (!blocked)
        done = due.size(); // bytes the line refused for good are gone, as on a dead line
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
    return !blocked;
}

std::optional<LineOutput::Clock::time_point> LineOutput::NextDue() const {
    if (pending_.empty())
        return std::nullopt;
    return pending_.front().due;
}

} // namespace ecu
