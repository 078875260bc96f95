#pragma once
// The logger's stand-in for the window: the parameters page is always active and
// showing it prints one CSV row; boxes go to standard error.
#include "LogOptions.h"
#include "link/MessagePresenter.h"
#include "link/SessionHost.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace ecu {
class LinkSession;
class TComm32;
struct SessionState;
} // namespace ecu

namespace ecu::logtool {

class LogHost : public SessionHost {
public:
    LogHost(const Options& options, SessionState& state, TComm32& comm, std::FILE* out)
        : options_(options), state_(state), comm_(comm), out_(out) {}
    void SetLink(const LinkSession* link) { link_ = link; }

    void PrintHeader();

    int ActivePageIndex() const override { return PageParameters; }
    int EngineVariant() const override { return options_.variant; }
    void ShowParameters() override; // one row per cycle, flushed at once
    void AddGraphPoints() override {}
    void ResetGraphs() override {}
    void ControlPageRefresh() override {}
    void OpenPort() override;

    void SetProgressPosition(int) override {}
    int ProgressPosition() const override { return 0; }
    void SetProgressMaximum(int) override {}
    void ShowProgressBar() override {}
    void ShowPercentLabels() override {}
    void SetFileNameLabel(const QString&) override {}
    void ShowPortClosedByPlayback() override {}
    std::optional<QString> ChooseSaveFile() override { return std::nullopt; }
    std::optional<QString> ChooseOpenFile() override { return std::nullopt; }

    std::uint64_t Rows() const { return rows_; }

private:
    const Options& options_;
    SessionState& state_;
    TComm32& comm_;
    std::FILE* out_;
    const LinkSession* link_ = nullptr;
    std::uint64_t rows_ = 0;
};

// Prints boxes on standard error. A broken link after a requested stop is the
// stop itself (the port was closed under the wait), so it is not reported.
class LogPresenter : public MessagePresenter {
public:
    explicit LogPresenter(const std::atomic<bool>& stopRequested) : stop_(stopRequested) {}
    void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) override;
    bool LinkBroken() const { return linkBroken_; }

private:
    const std::atomic<bool>& stop_;
    bool linkBroken_ = false;
};

} // namespace ecu::logtool
