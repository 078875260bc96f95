#include "session/FileSession.h"

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

namespace ecu {

namespace {
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
    playback_.Stop(); // the slot's file changes under it
    state_.File.Create(NativePath(*name));
    state_.Flags.RecordFileCreated();
    playback_.SetCaption({});
    footer_.SetFileNameLabel(Caption(text::RecordingTo, *name));
}

void FileSession::OpenFile() {
    if (const auto name = chooser_.ChooseOpenFile())
        OpenFileNamed(*name);
}

void FileSession::OpenFileNamed(const QString& name) {
    playback_.Stop();
    state_.File.OpenRead(NativePath(name));
    state_.Flags.PlaybackFileOpened();
    comm_.CloseComm();
    footer_.ShowPortClosedByPlayback();
    footer_.SetFileNameLabel(Caption(text::PlayingFrom, name));
    playback_.SetCaption(Caption(text::PlayingFrom, name));
}

void FileSession::PlayFile() {
    playback_.Play();
    if (playback_.EndedWithNothingDecoded())
        ShowNothingDecoded(presenter_, state_.File, host_.SelectedVariant());
}

void FileSession::SaveFileClick() {
    RunGuarded(presenter_, [this] { SaveFile(); });
}

void FileSession::OpenFileClick() {
    RunGuarded(presenter_, [this] { OpenFile(); });
}

void FileSession::OpenFileNamedGuarded(const QString& name) {
    RunGuarded(presenter_, [&] { OpenFileNamed(name); });
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
