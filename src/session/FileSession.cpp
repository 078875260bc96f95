#include "session/FileSession.h"

#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/FileHost.h"
#include "session/LinkSession.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
#include "session/PlaybackCheck.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

namespace ecu {

namespace {
constexpr std::int32_t RecordPaceMs = 100;

std::string NativePath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString Caption(const char* prefix, const QString& name) {
    return QString::fromUtf8(prefix) + QFileInfo(name).fileName();
}
} // namespace

void FileSession::SaveFile() {
    const auto name = chooser_.ChooseSaveFile();
    if (!name)
        return;
    state_.File.Create(NativePath(*name));
    state_.Flags.RecordFileCreated();
    footer_.SetFileNameLabel(Caption(text::RecordingTo, *name));
}

void FileSession::OpenFile() {
    const auto name = chooser_.ChooseOpenFile();
    if (!name)
        return;
    state_.File.OpenRead(NativePath(*name));
    state_.Flags.PlaybackFileOpened();
    comm_.CloseComm();
    footer_.ShowPortClosedByPlayback();
    footer_.SetFileNameLabel(Caption(text::PlayingFrom, *name));
}

void FileSession::PlayFile() {
    footer_.SetProgressPosition(0);
    footer_.ShowPercentLabels();
    host_.ResetGraphs();
    try {
        const std::size_t recordSize = RecordSize(host_.SelectedVariant());
        if (recordSize == 0)
            return; // no variant chosen: there is no record to cut
        DataFile& file = state_.File;
        const std::int64_t records = file.Size() / static_cast<std::int64_t>(recordSize);
        const int maximum = static_cast<int>(std::min<std::int64_t>(records, INT_MAX));
        footer_.SetProgressMaximum(maximum);
        footer_.ShowProgressBar();
        file.Seek(0);
        // Cut as ecu-csv cuts: a damaged cycle is skipped, not shown. The bar follows the
        // bytes played or skipped in records of the fixed size, so it still ends full.
        RecordCutter cutter(recordSize);
        bool decodedAny = false;
        const auto progress = [&] {
            const auto settled = cutter.Consumed() / recordSize;
            footer_.SetProgressPosition(
                static_cast<int>(std::min<std::uint64_t>(settled, maximum)));
        };
        const auto play = [&](const Record& record) {
            state_.RxBuffer.assign(record.bytes.begin(), record.bytes.end());
            link_.WaitMs(RecordPaceMs);
            decodedAny = DecodeExchange(state_.RxBuffer, state_.Engine, host_.SelectedVariant()) ||
                         decodedAny;
            StepDisplayPage(host_, host_.ActivePageIndex()); // never sends, not on the control page
            progress();
        };
        // A record's size at a time, one read each: a long recording costs no system call
        // per byte.
        std::vector<std::uint8_t> piece(recordSize);
        while (const std::size_t got = file.Read(piece.data(), piece.size()))
            cutter.Feed(std::span<const std::uint8_t>(piece.data(), got), play);
        cutter.Finish(play);
        // Damaged cycles at the end moved the bar too; a partial last record does not.
        if (cutter.Damaged() != 0)
            progress();
        if (!decodedAny)
            ShowNothingDecoded(presenter_, file, host_.SelectedVariant());
    } catch (...) {
        // A vanished file or a failing page: playback just ends.
    }
}

void FileSession::SaveFileClick() {
    RunGuarded(presenter_, [this] { SaveFile(); });
}

void FileSession::OpenFileClick() {
    RunGuarded(presenter_, [this] { OpenFile(); });
}

void FileSession::StartClick() {
    RunGuarded(presenter_, [this] {
        if (state_.Flags.PlaybackArmed)
            PlayFile();
        else
            link_.StartLivePoll();
    });
}

} // namespace ecu
