#include "LogHost.h"

#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/Messages.h"
#include "session/PortOpen.h"
#include "session/SessionState.h"

#include <cerrno>

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

void LogHost::PrintHeader() {
    Emit(CsvHeader());
}

void LogHost::ShowParameters() {
    const bool decoded = link_ && link_->LastCycleDecoded();
    Emit(CsvRow(rows_++, decoded, state_.Engine, options_.format));
}

void LogHost::OpenPort() {
    OpenPortWith(comm_, QString::fromStdString(options_.port), LinkBaudRate, options_.delayMs,
                 state_.PollDelay);
}

void LogPresenter::ShowMessage(const QString& caption, const QString& text, MessageIcon) {
    const bool brokenLink = caption == QString::fromUtf8(text::BrokenLinkCaption);
    if (brokenLink && stop_.load())
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
