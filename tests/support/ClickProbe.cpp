#include "ClickProbe.h"

#include "serial/RaceMarks.h"

#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <unistd.h>

namespace ecu::test {

using std::chrono::microseconds;
using std::chrono::steady_clock;

namespace {
// Nanoseconds the thread has spent runnable but waiting for a processor.
std::int64_t RunQueueDelay(const std::string& schedStat) {
    std::ifstream in(schedStat);
    std::int64_t running = 0;
    std::int64_t waiting = 0;
    in >> running >> waiting;
    return waiting;
}

} // namespace

ClickProbe::ClickProbe(QTabBar& bar, std::chrono::milliseconds every)
    : bar_(bar), every_(every),
      uiSchedStat_("/proc/self/task/" + std::to_string(gettid()) + "/schedstat") {
    QObject::connect(&bar_, &QTabBar::tabBarClicked, &context_, [this](int) { Clicked(); });
}

ClickProbe::~ClickProbe() {
    Stop();
}

void ClickProbe::Start() {
    user_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, every_, [this] { return stop_; }))
            Post();
    });
}

void ClickProbe::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (user_.joinable())
        user_.join();
}

// On the user's thread: the click waits in the window's event queue like one from
// the mouse, and is made when the event loop comes to it.
void ClickProbe::Post() {
    const steady_clock::time_point posted = steady_clock::now();
    const std::int64_t queued = RunQueueDelay(uiSchedStat_);
    // Qt's queue lock is invisible to the thread sanitizer: mark the hand-over.
    MarkHandedOver(&context_);
    const QtPostScope scope;
    QMetaObject::invokeMethod(
        &context_,
        [this, posted, queued] {
            MarkTakenOver(&context_);
            pending_ = true;
            pendingSince_ = posted;
            pendingQueued_ = queued;
            QTest::mouseClick(&bar_, Qt::LeftButton, {},
                              bar_.tabRect(bar_.currentIndex()).center());
            pending_ = false; // a click the tab bar did not report stays unanswered
        },
        Qt::QueuedConnection);
    ++posted_;
}

void ClickProbe::Clicked() {
    if (!pending_)
        return; // a click of the test's own
    pending_ = false;
    const auto latency =
        std::chrono::duration_cast<microseconds>(steady_clock::now() - pendingSince_);
    const microseconds queued((RunQueueDelay(uiSchedStat_) - pendingQueued_) / 1000);
    latencies_.push_back(latency);
    ownLatencies_.push_back(std::max(latency - queued, microseconds{}));
}

microseconds ClickProbe::WorstOwn() const {
    return ownLatencies_.empty() ? microseconds{}
                                 : *std::max_element(ownLatencies_.begin(), ownLatencies_.end());
}

microseconds ClickProbe::Worst() const {
    return latencies_.empty() ? microseconds{}
                              : *std::max_element(latencies_.begin(), latencies_.end());
}

microseconds ClickProbe::Percentile(double p) const {
    if (latencies_.empty())
        return {};
    std::vector<microseconds> sorted = latencies_;
    std::sort(sorted.begin(), sorted.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

} // namespace ecu::test
