#pragma once
// How the mechanic steers a playback from the window: Space pauses and resumes, the arrow
// keys, Home and End step while paused, + and - choose the pace, a click or a drag on the
// footer's progress bar seeks, and a context menu on the bar and the file label exports
// the recording as CSV.
#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QShortcut;
class QWidget;

namespace ecu {

class Playback;

class PlaybackControls : public QObject {
    Q_OBJECT
public:
    PlaybackControls(QWidget& window, QProgressBar& bar, QLabel& fileLabel, Playback& playback,
                     std::function<void()> exportCsv);

    // The keys belong to the playback only while one runs; otherwise Space presses the
    // focused button and the arrows move through lists as usual.
    void SetActive(bool running);
    QAction& ExportAction() { return *export_; }

private:
    void AddKey(QWidget& window, const QKeySequence& key, std::function<void()> act);

    Playback& playback_;
    QAction* export_ = nullptr;
    std::vector<QShortcut*> keys_;
};

} // namespace ecu
