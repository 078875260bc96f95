#include "LogHost.h"

#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/Messages.h"
#include "session/PortOpen.h"
#include "session/SessionState.h"

namespace ecu::logtool {

void LogHost::PrintHeader() {
    const std::string header = CsvHeader();
    std::fwrite(header.data(), 1, header.size(), out_);
    std::fflush(out_);
}

void LogHost::ShowParameters() {
    const bool decoded = link_ && link_->LastCycleDecoded();
    const std::string row = CsvRow(rows_++, decoded, state_.Engine, options_.format);
    std::fwrite(row.data(), 1, row.size(), out_);
    std::fflush(out_);
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
    std::fprintf(stderr, "%s\n%s\n", caption.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace ecu::logtool
