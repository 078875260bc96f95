#include "ui/TFrameGraph.h"

#include "ui/TextRules.h"
#include "ui/WidgetLook.h"
#include "ui_TFrameGraph.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalBlocker>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace ecu {
namespace {

// Line colours of graphs 1 to 4, and the text colours of their value boxes.
constexpr std::array<std::uint32_t, TFrameGraph::GraphCount> kSeriesColours{bgr::Red, bgr::Lime,
                                                                            bgr::Blue, bgr::Yellow};
constexpr std::array<std::uint32_t, TFrameGraph::GraphCount> kValueColours{bgr::Red, bgr::Lime,
                                                                           bgr::Lime, bgr::Yellow};

QString ValueText(double value) {
    const std::string text = FormatFixed(value, 6, 1);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Empties a series and gives its storage back: after a long session the points of
// the next one should not sit on the last one's memory.
void ClearSeries(QCPGraph& series) {
    series.setData(QSharedPointer<QCPGraphDataContainer>::create());
}

} // namespace

TFrameGraph::TFrameGraph(const EngineData& engine, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFrameGraph>()), engine_(engine) {
    ui_->setupUi(this);
    charts_ = {ui_->Graph1, ui_->Graph2, ui_->Graph3, ui_->Graph4};
    shapes_ = {ui_->Shape1, ui_->Shape2, ui_->Shape3, ui_->Shape4};
    valueBoxes_ = {ui_->EditDateRed, ui_->EditDateLime, ui_->EditDateBlue, ui_->EditDateYellow};

    saveAction_ = new QAction(QStringLiteral("Сохранить графики…"), this);
    saveAction_->setObjectName(QStringLiteral("ActionSaveGraphs"));
    connect(saveAction_, &QAction::triggered, this, &TFrameGraph::SaveGraphsTriggered);

    for (int n = 1; n <= GraphCount; ++n)
        SetUpChart(n);
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4})
        SetPixelFont(*label, "Times New Roman", 12, Bold); // blue: the form's colour
    for (int n = 0; n < GraphCount; ++n)
        SetUpValueBox(*valueBoxes_[n], kValueColours[n]);

    // Every scroll step reads the points under the cursor again, also one that leaves
    // the position where it was (an end arrow at the end, new points under a still
    // cursor); a step that moves, and a move by the program, come as a value change.
    QScrollBar* scroll = ui_->ScrollBarAxisX;
    connect(scroll, &QScrollBar::actionTriggered, this, [this, scroll] {
        if (scroll->sliderPosition() == scroll->value())
            ScrollBarAxisXScroll(scroll->value());
    });
    connect(scroll, &QScrollBar::valueChanged, this, &TFrameGraph::ScrollBarAxisXScroll);

    chooseFile_ = [this](const QString& suggested) -> std::optional<QString> {
        const QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить графики"), suggested,
                                         QStringLiteral("Рисунок PNG (*.png)"));
        if (path.isEmpty())
            return std::nullopt;
        return path;
    };
    reportError_ = [this](const QString& text) {
        QMessageBox::critical(this, window()->windowTitle(), text);
    };
}

TFrameGraph::~TFrameGraph() = default;

// Fixed ranges, horizontal panning only, and a plot area that fills the chart, so that
// x units sit 2 pixels apart from the chart's left edge as the cursor assumes.
// Antialiasing is off and polylines are drawn as plain segments: a 2-pixel line on an
// 83-pixel chart looks the same, and the four charts redraw in a fraction of the time.
void TFrameGraph::SetUpChart(int n) {
    QCustomPlot& chart = *charts_[n - 1];
    chart.setViewport(chart.rect());
    chart.setBackground(BgrColor(bgr::Gray));
    chart.setAntialiasedElements(QCP::aeNone);
    chart.setNotAntialiasedElements(QCP::aeAll);
    chart.setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    chart.setInteractions(QCP::iRangeDrag);
    chart.axisRect()->setRangeDrag(Qt::Horizontal);
    chart.axisRect()->setRangeZoom({});
    chart.axisRect()->setAutoMargins(QCP::msNone);
    chart.axisRect()->setMargins(QMargins(0, 0, 0, 0));

    // No tick values: inside an 83-pixel plot they cover the lines, and the boxes
    // beside the charts give the values.
    for (QCPAxis* axis : {chart.xAxis, chart.yAxis}) {
        axis->setTickLabels(false);
        axis->grid()->setPen(QPen(BgrColor(bgr::Silver), 0, Qt::DotLine));
    }
    chart.xAxis->setRange(0, DefaultWindow);
    chart.yAxis->ticker()->setTickCount(3);

    chart.setContextMenuPolicy(Qt::ActionsContextMenu);
    chart.addAction(saveAction_);

    QCPGraph* series = chart.addGraph();
    series->setObjectName(QStringLiteral("Series%1").arg(n));
    series->setPen(QPen(BgrColor(kSeriesColours[n - 1]), 2));
    series->setLineStyle(QCPGraph::lsLine);
    series->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    series_[n - 1] = series;

    QFrame& shape = *shapes_[n - 1];
    SetBackground(shape, BgrColor(bgr::Black));
    shape.setAttribute(Qt::WA_TransparentForMouseEvents);
}

// Numbers padded on the left to a common width line up on the right; they keep their
// left-to-right reading so that a minus sign stays in front.
void TFrameGraph::SetUpValueBox(QLineEdit& box, std::uint32_t textColour) {
    SetPixelFont(box, "Arial", 16, Bold);
    SetRoleColor(box, QPalette::Base, box.palette().color(QPalette::WindowText));
    SetRoleColor(box, QPalette::Text, BgrColor(textColour));
    box.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QScrollBar& TFrameGraph::ScrollBarAxisX() const {
    return *ui_->ScrollBarAxisX;
}

void TFrameGraph::ResetGraphs(const QWidget& setupPage) {
    for (QCPGraph* series : series_)
        ClearSeries(*series);
    pointCount_ = 0;
    window_ = DefaultWindow;
    for (QCustomPlot* chart : charts_)
        chart->xAxis->setRange(0, window_);
    ClearCursor();
    BindGraphChannels(setupPage);
    ScheduleReplot();
}

// Empty graphs have no values: the boxes and the cursor must not show the old ones.
void TFrameGraph::ClearCursor() {
    for (QLineEdit* box : valueBoxes_)
        box->clear();
    for (QFrame* shape : shapes_)
        shape->move(0, shape->y());
    const QSignalBlocker quiet(ui_->ScrollBarAxisX);
    ui_->ScrollBarAxisX->setValue(0);
}

// Pages never include each other, so this page knows the setup page only as a widget and finds
// its graph boxes by their object names. The walk keeps the inherited rule: boxes are taken in
// the order the setup page holds them, and one out of the order 1..4 is passed over rather
// than bound to the wrong graph.
void TFrameGraph::BindGraphChannels(const QWidget& setupPage) {
    int n = 1;
    for (const QComboBox* combo : setupPage.findChildren<QComboBox*>()) {
        if (n > GraphCount)
            break;
        if (combo->objectName() != QStringLiteral("ComboBoxGraph%1").arg(n))
            continue;
        BindGraph(*combo, n);
        ++n;
    }
}

// Graph n's controls are found by name, as the boxes are.
void TFrameGraph::BindGraph(const QComboBox& combo, int n) {
    const QString number = QString::number(n);
    for (QObject* object : findChildren<QObject*>()) {
        const QString name = object->objectName();
        if (name == QStringLiteral("Label") + number) {
            if (auto* label = qobject_cast<QLabel*>(object))
                SetChannelLabel(combo, *label);
        } else if (name == QStringLiteral("Graph") + number) {
            if (auto* chart = qobject_cast<QCustomPlot*>(object))
                SetChannelAxis(combo, *chart);
        } else if (name == QStringLiteral("Series") + number) {
            if (auto* series = qobject_cast<QCPGraph*>(object))
                SetChannelSource(combo, *series, n);
        }
    }
}

void TFrameGraph::SetChannelLabel(const QComboBox& combo, QLabel& label) {
    if (const GraphChannelRow* row = GraphChannelRowAt(combo.currentIndex()))
        label.setText(QString::fromUtf8(row->Label));
}

void TFrameGraph::SetChannelAxis(const QComboBox& combo, QCustomPlot& chart) {
    if (const GraphChannelRow* row = GraphChannelRowAt(combo.currentIndex()))
        chart.yAxis->setRange(row->AxisMin, row->AxisMax);
}

// A box without an item keeps the graph's previous channel; the series is emptied anyway.
void TFrameGraph::SetChannelSource(const QComboBox& combo, QCPGraph& series, int n) {
    ClearSeries(series);
    if (const GraphChannelRow* row = GraphChannelRowAt(combo.currentIndex()))
        channels_[static_cast<std::size_t>(n - 1)].Source = row->Source;
}

void TFrameGraph::AddGraphPoints() {
    std::array<double, GraphCount> values{};
    for (int n = 0; n < GraphCount; ++n)
        values[n] = ReadChannel(engine_, channels_[n]);
    for (int n = 0; n < GraphCount; ++n)
        valueBoxes_[n]->setText(ValueText(values[n]));
    for (int n = 0; n < GraphCount; ++n) {
        QCPGraph& series = *series_[n];
        // x grows by one each call, so this is a plain append at the end of the storage.
        series.data()->add(QCPGraphData(pointCount_, values[n]));
        SeriesAfterAdd(series, series.dataCount() - 1);
    }
    ++pointCount_;
    ScheduleReplot();
}

void TFrameGraph::SeriesAfterAdd(QCPGraph& sender, int /*valueIndex*/) {
    const QCPGraphDataContainer& data = *sender.data();
    if (data.isEmpty())
        return;
    const double largest = (data.constEnd() - 1)->key;
    if (largest > window_)
        sender.keyAxis()->setRange(largest - window_, largest);
}

void TFrameGraph::ScrollBarAxisXScroll(int scrollPos) {
    const qint64 count = series_[0]->dataCount();
    ui_->ScrollBarAxisX->setRange(0, CursorWidth);
    for (QFrame* shape : shapes_)
        shape->move(scrollPos, shape->y());
    qint64 index = (scrollPos - 1) / 2;
    if (count * 2 > CursorWidth)
        index += count - CursorPoints;
    for (int n = 0; n < GraphCount; ++n) {
        const QCPGraphDataContainer& data = *series_[n]->data();
        // A point not drawn yet: the boxes keep what they show.
        if (index < 0 || index >= data.size())
            return;
        valueBoxes_[n]->setText(ValueText(data.at(static_cast<int>(index))->value));
    }
}

// Once the charts scroll, the newest point is drawn on their right edge, which the scroll
// bar's own positions cannot select: the bar is moved without its handler, which would
// show the point before it, and the boxes keep the newest values.
void TFrameGraph::PlaceCursorAtNewest() {
    if (pointCount_ == 0)
        return;
    const double newest = pointCount_ - 1;
    const double left = charts_[0]->xAxis->range().lower;
    const int pixel = std::clamp(
        static_cast<int>(std::lround((newest - left) * CursorWidth / window_)), 0, CursorWidth);
    QScrollBar& bar = *ui_->ScrollBarAxisX;
    const QSignalBlocker quiet(bar);
    bar.setRange(0, CursorWidth);
    bar.setValue(pixel);
    for (QFrame* shape : shapes_)
        shape->move(std::min(pixel, CursorWidth - shape->width()), shape->y());
}

// Appends and axis moves of a whole cycle, on all four charts, cost one redraw.
void TFrameGraph::ScheduleReplot() {
    if (replotQueued_)
        return;
    replotQueued_ = true;
    QMetaObject::invokeMethod(this, &TFrameGraph::ReplotNow, Qt::QueuedConnection);
}

void TFrameGraph::ReplotNow() {
    replotQueued_ = false;
    for (QCustomPlot* chart : charts_)
        chart->replot(QCustomPlot::rpRefreshHint);
}

// Everything above the scroll bar: labels, value boxes and charts.
QRect TFrameGraph::PictureRect() const {
    return QRect(0, 0, width(), ui_->ScrollBarAxisX->y());
}

QImage TFrameGraph::GraphsPicture() {
    ReplotNow();
    return grab(PictureRect()).toImage();
}

bool TFrameGraph::SaveGraphsPicture(const QString& path) {
    return GraphsPicture().save(path, "PNG");
}

QString TFrameGraph::DefaultPictureName() const {
    if (!recordingName_.isEmpty()) {
        const QFileInfo recording(recordingName_);
        return recording.dir().filePath(recording.completeBaseName() + QStringLiteral(".png"));
    }
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
    return QDir::home().filePath(QStringLiteral("Графики %1.png").arg(stamp));
}

void TFrameGraph::SaveGraphsTriggered() {
    std::optional<QString> path = chooseFile_(DefaultPictureName());
    if (!path)
        return;
    if (QFileInfo(*path).suffix().isEmpty())
        *path += QStringLiteral(".png");
    if (!SaveGraphsPicture(*path))
        reportError_(QStringLiteral("Не удалось сохранить рисунок в файл %1").arg(*path));
}

} // namespace ecu
