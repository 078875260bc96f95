#include "session/FileSession.h"

#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/FileHost.h"
#include "session/LinkSession.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
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
    const auto name = files_.ChooseSaveFile();
    if (!name)
        return;
    state_.File.Create(NativePath(*name));
    state_.Flags.RecordFileCreated();
    files_.SetFileNameLabel(Caption(text::RecordingTo, *name));
}

void FileSession::OpenFile() {
    const auto name = files_.ChooseOpenFile();
    if (!name)
        return;
    state_.File.OpenRead(NativePath(*name));
    state_.Flags.PlaybackFileOpened();
    comm_.CloseComm();
    files_.ShowPortClosedByPlayback();
    files_.SetFileNameLabel(Caption(text::PlayingFrom, *name));
}

void FileSession::PlayFile() {
    files_.SetProgressPosition(0);
    files_.ShowPercentLabels();
    host_.ResetGraphs();
    try {
        const std::size_t recordSize = RecordSize(host_.SelectedVariant());
        if (recordSize == 0)
            return; // no variant chosen: there is no record to cut
        DataFile& file = state_.File;
        const std::int64_t records = file.Size() / static_cast<std::int64_t>(recordSize);
        const int maximum = static_cast<int>(std::min<std::int64_t>(records, INT_MAX));
        files_.SetProgressMaximum(maximum);
        files_.ShowProgressBar();
        file.Seek(0);
        // A damaged cycle is skipped, not shown; the bar follows the bytes played or skipped
        // in records of the fixed size, so it still ends full.
        RecordResync cutter(recordSize);
        std::vector<std::uint8_t> piece(recordSize);
        bool fileEnded = false;
        ByteString& rx = state_.RxBuffer;
        for (;;) {
            const auto record = cutter.Next();
            if (record.empty()) {
                if (!fileEnded) {
                    // Read as it plays: a record and the look past its end at a time, one
                    // read each, so a long recording costs no system call per byte.
                    const std::size_t got = file.Read(piece.data(), recordSize);
                    if (got == 0)
                        fileEnded = true;
                    else
                        cutter.Push(std::span<const std::uint8_t>(piece.data(), got));
                    continue;
                }
                if (cutter.Ended()) {
                    // A damaged last cycle moved the bar too. What is left is a partial
                    // last record.
                    if (cutter.Damaged() != 0)
                        files_.SetProgressPosition(static_cast<int>(
                            std::min<std::uint64_t>(cutter.Consumed() / recordSize, maximum)));
                    break;
                }
                cutter.End();
                continue;
            }
            rx.assign(record.begin(), record.end());
            link_.WaitMs(RecordPaceMs);
            DecodeFrame(rx, state_.Engine, host_.SelectedVariant());
            StepDisplayPage(host_,
                            host_.ActivePageIndex()); // never sends, not even on the control page
            const auto played = cutter.Consumed() / recordSize;
            files_.SetProgressPosition(static_cast<int>(std::min<std::uint64_t>(played, maximum)));
        }
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
            link_.LivePoll();
    });
}

} // namespace ecu
