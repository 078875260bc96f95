#pragma once
// How the mechanic steers a playback from the window: Space pauses and resumes, the arrow
// keys, Home and End step while paused, + and - choose the pace, a click or a drag on the
// footer's progress bar seeks, and a context menu on the bar and the file label exports
// the recording as CSV.
//
// The keys are window keys (see WindowKeys): a text field, a list (open or closed) or a
// dialog keeps the keys it uses. A focused button does not: after a click on Start, which
// keeps the focus, Space pauses the playback instead of starting it again, and the arrows
// step instead of moving the focus to the next button.
#include <QObject>

#include <functional>

class QAction;
class QLabel;
class QProgressBar;

namespace ecu {

class Playback;
class WindowKeys;

class PlaybackControls : public QObject {
    Q_OBJECT
public:
    // Binds the keys on `keys`, whose window owns the controls.
    PlaybackControls(WindowKeys& keys, QProgressBar& bar, QLabel& fileLabel, Playback& playback,
                     std::function<void()> exportCsv);

    // The keys belong to the playback only while one runs; otherwise Space presses the
    // focused button and the arrows move through lists as usual.
    void SetActive(bool running) { active_ = running; }
    QAction& ExportAction() { return *export_; }

private:
    void BindKeys(WindowKeys& keys);

    Playback& playback_;
    QAction* export_ = nullptr;
    bool active_ = false;
};

} // namespace ecu
