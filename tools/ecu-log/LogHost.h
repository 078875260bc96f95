#pragma once
// The logger's stand-in for the window: the parameters page is always active and
// showing it prints one CSV row; boxes go to standard error.
#include "LogOptions.h"
#include "session/MessagePresenter.h"
#include "session/SessionHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace ecu {
class Session;
} // namespace ecu

namespace ecu::logtool {

class LogHost : public SessionHost {
public:
    LogHost(const Options& options, std::FILE* out) : options_(options), out_(out) {}
    // The session this host serves; needed before the port is opened or a row printed.
    void Attach(Session& session) { session_ = &session; }
    // Runs once, at the first write to the output that fails; it should end the loop.
    void SetOnOutputFailed(std::function<void()> onFailed) {
        onOutputFailed_ = std::move(onFailed);
    }

    void PrintHeader();
    // The next cycle's data request goes out now: its row carries this time. The live
    // loop sends each request right after the previous row, so a row marks the next.
    void MarkRequest();
    // The system's error number of the first failed write to the output; 0 while none failed.
    // Nothing is written after it.
    int OutputError() const { return outputError_; }

    int ActivePageIndex() const override { return PageParameters; }
    EngineVariant SelectedVariant() const override { return options_.variant; }
    // One row per cycle whose echo came back, numbered as ecu-csv numbers the recording's
    // records; flushed at once unless held back.
    void ShowParameters() override;
    void AddGraphPoints() override {}
    void ResetGraphs() override {}
    void ControlPageRefresh() override {}
    void OpenPort() override;

    // Rows printed or held: the cycles whose echo came back.
    std::uint64_t Rows() const { return rows_; }
    // A line for standard error, printed before the next row: once the ECU answers.
    void NoteAtNextRow(std::string note) { note_ = std::move(note); }
    // Where the recording ends its last whole cycle: cutting it back there keeps whole
    // cycles only. The rows of cycles after it are held back until a whole cycle follows,
    // so that a cut takes their rows with their bytes and the two still agree.
    std::int64_t CutPoint() const { return cutPoint_; }
    // Recording to a file that can be cut back (a regular one, not /dev/null).
    bool Cuttable() const;
    // The held rows go with the bytes cut away; their numbers are given again.
    void DropHeldRows() {
        held_.clear();
        rows_ = rowsAtCut_;
    }

private:
    const Options& options_;
    std::FILE* out_;
    Session* session_ = nullptr;
    std::uint64_t rows_ = 0;
    int outputError_ = 0;
    std::function<void()> onOutputFailed_;
    std::chrono::steady_clock::time_point firstRequest_{};
    std::chrono::steady_clock::time_point request_{};
    std::chrono::system_clock::time_point requestWall_{};
    bool requested_ = false;
    std::int64_t cutPoint_ = 0;
    std::uint64_t rowsAtCut_ = 0;
    std::string held_; // rows of cycles after the cut point
    std::string note_;

    std::string TimeField() const;

    void Emit(const std::string& text);
};

// Prints boxes on standard error. A broken link after a requested stop is the
// stop itself (the port was closed under the wait), so it is not reported. An
// error box (a failed recording) is printed as the tool's own one-line message.
class LogPresenter : public MessagePresenter {
public:
    explicit LogPresenter(const std::atomic<bool>& stopRequested) : stop_(stopRequested) {}
    void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) override;
    bool LinkBroken() const { return linkBroken_; }
    bool Failed() const { return failed_; }
    // While reconnecting, the broken link of each attempt has already been said.
    void SetQuietBrokenLink(bool quiet) { quietBrokenLink_ = quiet; }

private:
    const std::atomic<bool>& stop_;
    bool quietBrokenLink_ = false;
    bool linkBroken_ = false;
    bool failed_ = false;
};

} // namespace ecu::logtool
