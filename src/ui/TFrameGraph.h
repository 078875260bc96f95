#pragma once
// The graphs page: four charts of engine values chosen on the setup page, one point per
// cycle of a session, the newest value of each in a box beside it, and a cursor for
// reading earlier points back after the session.
#include "link/EngineData.h"
#include "ui/GraphChannels.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QCPGraph;
class QCustomPlot;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace Ui {
class TFrameGraph;
}

namespace ecu {

class TFrameGraph : public QWidget {
    Q_OBJECT

public:
    static constexpr int GraphCount = 4;
    // Cursor geometry: the charts and the scroll bar are this wide, 2 pixels per x unit,
    // and the cursor reaches the newest CursorPoints points.
    static constexpr int CursorWidth = 546;
    static constexpr int CursorPoints = 274;
    static constexpr int DefaultWindow = 273;

    // `engine` is read at every AddGraphPoints; it must outlive the page.
    explicit TFrameGraph(const EngineData& engine, QWidget* parent = nullptr);
    ~TFrameGraph() override;

    // Empties the four graphs, restarts the x count and binds the channels to the
    // graph boxes of `setupPage` anew.
    void ResetGraphs(const QWidget& setupPage);
    // Binds graph n to the box named "ComboBoxGraph<n>" among the setup page's boxes,
    // walked in the order the page created them.
    void BindGraphChannels(const QWidget& setupPage);
    // Counts the next point as x = firstPoint instead of from 0: a playback that stands on
    // a record refills the graphs with the points that led to it. Call after ResetGraphs.
    void CountPointsFrom(int firstPoint) { pointCount_ = firstPoint; }
    // The cursor on the newest point, whose values the boxes show.
    void PlaceCursorAtNewest();
    // One point on each graph from the current engine values; the charts are redrawn
    // once, after the caller's cycle has returned to the event loop.
    void AddGraphPoints();
    // Keeps the newest points in view once a series outgrows the window.
    void SeriesAfterAdd(QCPGraph& sender, int valueIndex);
    // The cursor scroll bar moved to `scrollPos`.
    void ScrollBarAxisXScroll(int scrollPos);

    const std::array<GraphChannel, GraphCount>& GraphChannels() const { return channels_; }
    int GraphPointCount() const { return pointCount_; }
    int GraphWindow() const { return window_; }
    QScrollBar& ScrollBarAxisX() const;

    // The picture: four charts with their labels and value boxes.
    QImage GraphsPicture();
    bool SaveGraphsPicture(const QString& path);
    // The recording or played file, for the picture's default name; empty for none.
    void SetRecordingName(const QString& path) { recordingName_ = path; }
    QString DefaultPictureName() const;

    // Replaceable in tests: the save dialog (suggested path in, chosen path or nothing
    // out) and the error box.
    using SaveFileChooser = std::function<std::optional<QString>(const QString& suggested)>;
    using ErrorReporter = std::function<void(const QString& text)>;
    void SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }
    void SetErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }

    // Draws the four charts now instead of at the next pass of the event loop.
    void ReplotNow();

private:
    void SetUpChart(int n);
    void SetUpValueBox(QLineEdit& box, std::uint32_t textColour);
    void SetChannelLabel(const QComboBox& combo, QLabel& label);
    void SetChannelAxis(const QComboBox& combo, QCustomPlot& chart);
    void SetChannelSource(const QComboBox& combo, QCPGraph& series, int n);
    void BindGraph(const QComboBox& combo, int n);
    void ClearCursor();
    void ScheduleReplot();
    void SaveGraphsTriggered();
    QRect PictureRect() const;

    std::unique_ptr<Ui::TFrameGraph> ui_;
    const EngineData& engine_;
    std::array<QCustomPlot*, GraphCount> charts_{};
    std::array<QCPGraph*, GraphCount> series_{};
    std::array<QFrame*, GraphCount> shapes_{};
    std::array<QLineEdit*, GraphCount> valueBoxes_{};
    QAction* saveAction_ = nullptr;

    std::array<GraphChannel, GraphCount> channels_{};
    int pointCount_ = 0;
    int window_ = DefaultWindow;
    bool replotQueued_ = false;

    QString recordingName_;
    SaveFileChooser chooseFile_;
    ErrorReporter reportError_;
};

} // namespace ecu
