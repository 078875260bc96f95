#pragma once
// The setup page's file buttons, the Start button's choice between playback and
// polling, and the playback.
#include "session/Playback.h"

#include <QString>

namespace ecu {

class FileChooser;
class LinkSession;
class MessagePresenter;
class PlaybackFooter;
class SessionHost;
class TComm32;
struct SessionState;

class FileSession {
public:
    FileSession(SessionState& state, TComm32& comm, SessionHost& host, PlaybackFooter& footer,
                FileChooser& chooser, MessagePresenter& presenter, LinkSession& link)
        : state_(state), comm_(comm), host_(host), footer_(footer), chooser_(chooser),
          presenter_(presenter), link_(link), playback_(state, host, footer, link) {}

    // Chooses and creates a recording file and arms recording. Throws DataFileError
    // when the file cannot be created; the slot then keeps its earlier file.
    void SaveFile();
    // Chooses and opens a file for playback, arms playback and closes the port.
    void OpenFile();
    // Opens a named file for playback as the open button does with a chosen one.
    void OpenFileNamed(const QString& name);
    // Plays the slot's file from its beginning; errors after the start end it
    // silently.
    void PlayFile();

    // Entry points: no exception leaves them, errors go to the default box.
    void SaveFileClick();
    void OpenFileClick();
    // Start: plays the armed file, otherwise polls the ECU.
    void StartClick();
    // The same for a file named outside the window (the command line): a file that
    // cannot be opened gets the box the button would give.
    void OpenFileNamedGuarded(const QString& name);

    Playback& Player() { return playback_; }
    const Playback& Player() const { return playback_; }

private:
    SessionState& state_;
    TComm32& comm_;
    SessionHost& host_;
    PlaybackFooter& footer_;
    FileChooser& chooser_;
    MessagePresenter& presenter_;
    LinkSession& link_;
    Playback playback_;
};

} // namespace ecu
