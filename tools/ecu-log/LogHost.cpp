#include "LogHost.h"

#include "session/Messages.h"
#include "session/Session.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace ecu::logtool {

// Each piece is flushed at once: whoever reads the rows sees every cycle as it ends.
void LogHost::Emit(const std::string& text) {
    if (outputError_)
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out_) == text.size() && std::fflush(out_) == 0)
        return;
    outputError_ = errno ? errno : EIO;
    if (onOutputFailed_)
        onOutputFailed_();
}

namespace {

// Local time with its offset from UTC and milliseconds: 2026-12-08T14:45:01.123+01:00.
std::string IsoTime(std::chrono::system_clock::time_point at) {
    using namespace std::chrono;
    const auto ms = time_point_cast<milliseconds>(at).time_since_epoch().count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const long milli = static_cast<long>(((ms % 1000) + 1000) % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    const long absOffset = std::labs(offset);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03ld%c%02ld:%02ld", date, milli, offset < 0 ? '-' : '+',
                  absOffset / 60, absOffset % 60);
    return text;
}

} // namespace

void LogHost::MarkRequest() {
    request_ = std::chrono::steady_clock::now();
    requestWall_ = std::chrono::system_clock::now();
    if (!requested_)
        firstRequest_ = request_;
    requested_ = true;
}

bool LogHost::Cuttable() const {
    return options_.record && session_->State().File.IsRegular();
}

std::string LogHost::TimeField() const {
    switch (options_.time) {
    case TimeColumn::Ms:
        return std::to_string(
                   std::chrono::duration_cast<std::chrono::milliseconds>(request_ - firstRequest_)
                       .count()) +
               ',';
    case TimeColumn::Iso:
        return IsoTime(requestWall_) + ',';
    default:
        return {};
    }
}

void LogHost::PrintHeader() {
    Emit(options_.time == TimeColumn::None ? CsvHeader() : "time," + CsvHeader());
}

void LogHost::ShowParameters() {
    // Without its echo the cycle has no start in the recording, so ecu-csv would give its
    // number to the next one: it gets no row, and the numbers follow the echoes.
    const LinkSession& link = session_->Link();
    if (!link.LastCycleEchoed()) {
        MarkRequest();
        return;
    }
    if (!note_.empty()) {
        std::fprintf(stderr, "%s\n", note_.c_str());
        std::fflush(stderr);
        note_.clear();
    }
    held_ += TimeField() +
             CsvRow(rows_++, link.LastCycleDecoded(), session_->State().Engine, options_.format);
    // A cycle cut short may still be cut away at a break: its row waits for a whole one.
    if (!Cuttable() || link.LastCycleWhole()) {
        if (Cuttable())
            cutPoint_ = session_->State().File.Position();
        Emit(held_);
        held_.clear();
        rowsAtCut_ = rows_;
    }
    MarkRequest();
}

void LogHost::OpenPort() {
    session_->OpenPort(LinkBaudRate, options_.delayMs);
}

void LogPresenter::ShowMessage(const QString& caption, const QString& text, MessageIcon) {
    const bool brokenLink = caption == QString::fromUtf8(text::BrokenLinkCaption);
    if (brokenLink && (stop_.load() || quietBrokenLink_))
        return;
    linkBroken_ = linkBroken_ || brokenLink;
    if (caption == QString::fromUtf8(text::ApplicationTitle)) {
        failed_ = true;
        std::fprintf(stderr, "ecu-log: %s\n", text.toLocal8Bit().constData());
    } else {
        std::fprintf(stderr, "%s\n%s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
    }
    std::fflush(stderr);
}

} // namespace ecu::logtool
