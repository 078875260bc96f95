#include "record/FileSession.h"

#include "link/LinkSession.h"
#include "link/MessagePresenter.h"
#include "link/Messages.h"
#include "link/SessionHost.h"
#include "link/SessionState.h"
#include "record/Records.h"
#include "serial/Comm32.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

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
    const auto name = host_.ChooseSaveFile();
    if (!name)
        return;
    state_.File.Create(NativePath(*name));
    state_.Flags.RecordFileCreated();
    host_.SetFileNameLabel(Caption(text::RecordingTo, *name));
}

void FileSession::OpenFile() {
    const auto name = host_.ChooseOpenFile();
    if (!name)
        return;
    state_.File.OpenRead(NativePath(*name));
    state_.Flags.PlaybackFileOpened();
    comm_.CloseComm();
    host_.ShowPortClosedByPlayback();
    host_.SetFileNameLabel(Caption(text::PlayingFrom, *name));
}

void FileSession::PlayFile() {
    host_.SetProgressPosition(0);
    host_.ShowPercentLabels();
    host_.ResetGraphs();
    try {
        const std::size_t recordSize = RecordSize(host_.EngineVariant());
        if (recordSize == 0)
            return; // no variant chosen: there is no record to cut
        DataFile& file = state_.File;
        const std::int64_t records = file.Size() / static_cast<std::int64_t>(recordSize);
        host_.SetProgressMaximum(static_cast<int>(std::min<std::int64_t>(records, INT_MAX)));
        host_.ShowProgressBar();
        file.Seek(0);
        ByteString& rx = state_.RxBuffer;
        while (!file.AtEnd()) {
            rx.clear();
            for (std::size_t i = 0; i < recordSize; ++i)
                rx.push_back(file.ReadByte());
            link_.WaitMs(RecordPaceMs);
            DecodeFrame(rx, state_.Engine, host_.EngineVariant());
            StepDisplayPage(host_,
                            host_.ActivePageIndex()); // never sends, not even on the control page
            host_.SetProgressPosition(host_.ProgressPosition() + 1);
        }
    } catch (...) {
        // A partial last record, a vanished file or a failing page: playback just ends.
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
