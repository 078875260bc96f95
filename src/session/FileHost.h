#pragma once
// What the file buttons and playback need of the window beyond the page steps: the
// footer's playback display, and the file dialogs. Two interfaces, since the footer
// and the dialogs belong to different parts of the window.
#include <QString>

#include <optional>

namespace ecu {

// The footer: the playback progress bar with its "0%" and "100%" labels, the file
// name label, and the port indicator with Start.
class PlaybackFooter {
public:
    virtual ~PlaybackFooter() = default;

    virtual void SetProgressPosition(int position) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void ShowProgressBar() = 0;
    virtual void ShowPercentLabels() = 0;
    virtual void SetFileNameLabel(const QString& caption) = 0;
    // The port was closed by opening a file for playback: indicator red, Start
    // enabled (it plays the file); the setup page's port buttons follow.
    virtual void ShowPortClosedByPlayback() = 0;
    // A playback began or ended: its steering (keys, the bar) answers only meanwhile.
    virtual void PlaybackRunning(bool running) { (void)running; }
};

// File dialogs; nothing when cancelled. The save dialog itself asks before an
// existing file is chosen, since saving empties it.
class FileChooser {
public:
    virtual ~FileChooser() = default;

    virtual std::optional<QString> ChooseSaveFile() = 0;
    virtual std::optional<QString> ChooseOpenFile() = 0;
};

} // namespace ecu
