#pragma once
// SIGINT and SIGTERM as events of the UI thread: a signal sets the stop flag and
// closes the port, which ends the live loop at its next test, also when the
// signal lands inside a wait.
#include <QObject>

#include <atomic>
#include <functional>

class QSocketNotifier;

namespace ecu::logtool {

// Blocks SIGINT and SIGTERM in the calling thread and every thread started after
// it, so that only the signalfd sees them. Call first thing in main.
void BlockStopSignals();

class StopSignals : public QObject {
    Q_OBJECT
public:
    // onStop runs on the UI thread once per signal, after the flag is set.
    StopSignals(std::atomic<bool>& stopRequested, std::function<void()> onStop);
    ~StopSignals() override;

private:
    void Drain();

    std::atomic<bool>& stop_;
    std::function<void()> onStop_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace ecu::logtool
