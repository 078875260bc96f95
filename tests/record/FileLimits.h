#pragma once
// Seeing what the data file does to the system: how many reads and writes a thread made,
// and a disk that fills up at a chosen size.
#include <csignal>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace ecu::testing {

// Read or write system calls made by the calling thread so far; -1 when the system
// does not count them.
inline long IoCalls(const char* counter) {
    const auto read = [counter] {
        std::ifstream io("/proc/thread-self/io");
        std::string key;
        long value = 0;
        while (io >> key >> value)
            if (key == counter)
                return value;
        return -1L;
    };
    // Under the sanitizers the process's first read of the counter counts writes
    // of its own.
    static const long warmUp = read();
    (void)warmUp;
    return read();
}

inline long WriteCalls() {
    return IoCalls("syscw:");
}

// Read system calls the calling thread makes in f(); -1 when the system does not count
// them. Reading the counter costs reads of its own: those are taken off.
template <class F> long ReadCallsDuring(F&& f) {
    const long first = IoCalls("syscr:");
    const long before = IoCalls("syscr:");
    if (first < 0)
        return -1;
    f();
    const long after = IoCalls("syscr:");
    return after - before - (before - first);
}

// While it lives, files this process writes stop growing at `bytes`: a write
// past it fails with EFBIG ("File too large") instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace ecu::testing
