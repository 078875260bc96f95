#pragma once
// A user clicking the tab of the page on show (harmless: it is already shown; the tab
// bar says it was clicked) at a steady pace. The clicks are posted from a thread of
// the probe's own, so a window that is late handling events cannot hold the clock
// back; each one's latency runs from its posting to the tab bar's report of it.
// Shared by the long window tests and the benchmarks.
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QTabBar;

namespace ecu::test {

class ClickProbe {
public:
    ClickProbe(QTabBar& bar, std::chrono::milliseconds every);
    ~ClickProbe();
    ClickProbe(const ClickProbe&) = delete;
    ClickProbe& operator=(const ClickProbe&) = delete;

    void Start();
    // Stops posting; clicks already posted are still answered by the event loop.
    void Stop();

    // On the UI thread, after Stop.
    int Posted() const { return posted_.load(); }
    int Answered() const { return static_cast<int>(latencies_.size()); }
    std::chrono::microseconds Worst() const;
    std::chrono::microseconds Percentile(double p) const;
    // The worst latency less the time the UI thread meanwhile waited for a processor
    // (the kernel's run-queue delay): what the window itself took, on a machine so
    // busy, or this process so niced, that the scheduler's share counts too.
    std::chrono::microseconds WorstOwn() const;

private:
    void Post();
    void Clicked();

    QTabBar& bar_;
    std::chrono::milliseconds every_;
    QObject context_; // queued clicks die with it
    std::thread user_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<int> posted_{0};
    // UI thread only.
    bool pending_ = false;
    std::chrono::steady_clock::time_point pendingSince_;
    std::int64_t pendingQueued_ = 0; // the UI thread's run-queue delay at the posting
    std::vector<std::chrono::microseconds> latencies_;
    std::vector<std::chrono::microseconds> ownLatencies_;
    std::string uiSchedStat_; // /proc/self/task/<UI thread>/schedstat
};

} // namespace ecu::test
