#include "app/TPanelFoother.h"

#include "app/WindowKeys.h"
#include "session/LinkSession.h"
#include "ui/WidgetLook.h"
#include "ui_TPanelFoother.h"

#include <QFileInfo>
#include <QStyle>

namespace ecu {

namespace {
constexpr const char* kUndecodedNote = "Циклов подряд без расшифрованного ответа ЭБУ: %1";
}

TPanelFoother::TPanelFoother(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::TPanelFoother>()) {
    ui_->setupUi(this);
    QIcon abort = style()->standardIcon(QStyle::SP_DialogAbortButton);
    if (abort.isNull()) // styles without an abort glyph draw cancel the same way
        abort = style()->standardIcon(QStyle::SP_DialogCancelButton);
    ui_->BitBtnClose->setIcon(abort);
    SetSmoothBar(*ui_->ProgressBarPlayFile);
    SetIndicator(false);

    connect(ui_->BitBtnStart, &QPushButton::clicked, this, &TPanelFoother::StartClicked);
    connect(ui_->BitBtnStop, &QPushButton::clicked, this, &TPanelFoother::StopClicked);
    connect(ui_->BitBtnClose, &QPushButton::clicked, this, &TPanelFoother::ExitClicked);
}

// Window keys work wherever the focus is, unless an open list, an editor or a dialog
// takes them; a disabled button ignores the press.
void TPanelFoother::BindKeys(WindowKeys& keys) {
    for (int key : {Qt::Key_Return, Qt::Key_Enter})
        keys.Bind(key, [this] { ui_->BitBtnStart->click(); });
    keys.Bind(Qt::Key_Escape, [this] { ui_->BitBtnStop->click(); });
}

TPanelFoother::~TPanelFoother() = default;

void TPanelFoother::ShowPort(bool open) {
    SetIndicator(open);
    ui_->BitBtnStart->setEnabled(open);
}

void TPanelFoother::ShowWorkingMode(WorkingMode mode) {
    if (mode == WorkingMode::Live || mode == WorkingMode::LiveRecording) {
        ui_->ProgressBarPlayFile->hide();
        ui_->Label8->hide();
        ui_->Label1->hide();
    }
    if (mode == WorkingMode::Live)
        SetFileNameLabel(QString());
}

// A port opened or closed starts the count afresh.
void TPanelFoother::SetIndicator(bool open) {
    portOpen_ = open;
    undecoded_ = 0;
    ShowIndicator();
}

void TPanelFoother::ShowUndecodedCycles(int inARow) {
    if (inARow == undecoded_)
        return;
    undecoded_ = inARow;
    ShowIndicator();
}

void TPanelFoother::ShowIndicator() {
    const bool warn = portOpen_ && undecoded_ >= LinkSession::UndecodedWarningCycles;
    const std::uint32_t colour = !portOpen_ ? bgr::Red : warn ? bgr::Yellow : bgr::Lime;
    SetBackground(*ui_->PanelPortIndicator, BgrColor(colour));
    const QString note = warn ? QString::fromUtf8(kUndecodedNote).arg(undecoded_) : QString();
    ui_->PanelPortIndicator->setToolTip(note);
    ui_->PanelPortIndicator->setAccessibleDescription(note);
}

void TPanelFoother::SetProgressPosition(int position) {
    ui_->ProgressBarPlayFile->setValue(position);
}

int TPanelFoother::ProgressPosition() const {
    return ui_->ProgressBarPlayFile->value();
}

void TPanelFoother::SetProgressMaximum(int maximum) {
    ui_->ProgressBarPlayFile->setMaximum(maximum);
}

void TPanelFoother::ShowProgressBar() {
    ui_->ProgressBarPlayFile->show();
}

void TPanelFoother::ShowPercentLabels() {
    ui_->Label8->show();
    ui_->Label1->show();
}

void TPanelFoother::SetChosenFile(const QString& path) {
    chosenFile_ = path;
}

// A long name is shortened in its middle, keeping the start of the caption and the end of
// the name (its suffix, the pace); the tooltip gives the whole path.
void TPanelFoother::SetFileNameLabel(const QString& caption) {
    QLabel& label = *ui_->LabelNameFile;
    label.setText(label.fontMetrics().elidedText(caption, Qt::ElideMiddle, label.width()));
    const bool named = !caption.isEmpty() && !chosenFile_.isEmpty() &&
                       caption.contains(QFileInfo(chosenFile_).fileName());
    label.setToolTip(named ? chosenFile_ : caption);
}

void TPanelFoother::ShowPortClosedByPlayback() {
    SetIndicator(false);
    // Start plays the opened file, also when no port could ever be opened.
    ui_->BitBtnStart->setEnabled(true);
    emit PortClosedByPlayback();
}

void TPanelFoother::PlaybackRunning(bool running) {
    emit PlaybackRunningChanged(running);
}

QProgressBar& TPanelFoother::ProgressBar() {
    return *ui_->ProgressBarPlayFile;
}

QLabel& TPanelFoother::FileNameLabel() {
    return *ui_->LabelNameFile;
}

} // namespace ecu
