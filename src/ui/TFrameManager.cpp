#include "ui/TFrameManager.h"

#include "ui/TextRules.h"
#include "ui/WidgetLook.h"
#include "ui_TFrameManager.h"

#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>

namespace ecu {
namespace {

constexpr const char* kFontFamily = "Times New Roman";
const QString kPositionText = QStringLiteral("Позиция - ");
const QString kUserPositionText = QStringLiteral("Позиция регулятора- ");

QFont PageFont(int pixels, unsigned style = Plain) {
    return PixelFont(kFontFamily, pixels, style);
}

// An output's state panel: its yellow caption (the form's) on grey (off) or red (on).
void ShowOutput(QWidget* panel, bool on) {
    SetRoleColor(*panel, QPalette::Window, BgrColor(on ? bgr::Red : bgr::Gray));
}

// The label grows with its text, as wide as the text needs, never narrower than
// the form made it.
void SetGrowingText(QLabel* label, const QString& text, int formWidth) {
    label->setText(text);
    label->resize(std::max(formWidth, label->sizeHint().width()), label->height());
}

} // namespace

TFrameManager::TFrameManager(ControlFrame& frame, const ControlLayout& layout,
                             const EngineData& engine, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFrameManager>()), frame_(frame), layout_(layout),
      engine_(engine) {
    ui_->setupUi(this);
    labelPosWidth_ = ui_->LabelPos->width();
    SetUpLook();
    Connect();
}

TFrameManager::~TFrameManager() = default;

void TFrameManager::SetUpLook() {
    setFont(PageFont(11)); // the window's font; the value boxes are larger to read at a glance
    ui_->Label1->setFont(PageFont(16, Bold | Italic));
    for (QWidget* edit :
         {ui_->EditIACDesired, ui_->EditRPMIAC, ui_->EditUOZDesired, ui_->EditFuelAirRatio})
        edit->setFont(PageFont(13, Bold)); // black with lime digits: the form's colours
    for (QWidget* panel : {ui_->PanelCheckEngie, ui_->PanelCarlson}) {
        panel->setFont(PageFont(11, Bold));
        ShowOutput(panel, false);
    }
}

void TFrameManager::Connect() {
    // toggled, not clicked: a switch may be turned without a click (an assistive
    // tool's toggle), and its panel and the frame must follow whatever turned it.
    // The page's own release of the switches on leaving is silenced there.
    connect(ui_->SpeedButtonCheckEngie, &QToolButton::toggled, this,
            &TFrameManager::SpeedButtonCheckEngieClick);
    connect(ui_->SpeedButtonCarlson, &QToolButton::toggled, this,
            &TFrameManager::SpeedButtonCarlsonClick);
    connect(ui_->BitBtnClearDTC, &QPushButton::clicked, this, &TFrameManager::BitBtnClearDTCClick);
    connect(ui_->BitBtnRezetBLM, &QPushButton::clicked, this, &TFrameManager::BitBtnRezetBLMClick);
    connect(ui_->TrackBarIACDesired, &QSlider::valueChanged, this,
            &TFrameManager::TrackBarIACDesiredChange);
    connect(ui_->ButtonIACStart, &QPushButton::clicked, this, &TFrameManager::ButtonIACStartClick);
    connect(ui_->ButtonStopIAC, &QPushButton::clicked, this, &TFrameManager::ButtonStopIACClick);
}

void TFrameManager::ControlPageRefresh() {
    ui_->EditIACDesired->setText(QString::number(engine_.AirControl));
    ui_->EditRPMIAC->setText(QString::number(engine_.RPMengine));
    ui_->EditUOZDesired->setText(QString::fromStdString(FormatFixed(engine_.UOZ, 2, 0)));
    ui_->EditFuelAirRatio->setText(QString::fromStdString(FormatFixed(engine_.FuelAirRatio, 5, 2)));
    if (!iacEditing_) {
        {
            // The page follows the ECU here; this move is not the user's edit.
            const QSignalBlocker quiet(ui_->TrackBarIACDesired);
            ui_->TrackBarIACDesired->setValue(engine_.AirControl);
        }
        SetGrowingText(ui_->LabelPos,
                       kPositionText + QString::number(ui_->TrackBarIACDesired->value()),
                       labelPosWidth_);
    }
    ui_->TrackBarUOZDesired->setValue(engine_.UOZRaw);
}

// The releases are not the user's edits: the session restores the whole frame next.
void TFrameManager::ControlPageOff() {
    for (QToolButton* toggle : {ui_->SpeedButtonCheckEngie, ui_->SpeedButtonCarlson}) {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(false);
    }
    ShowOutput(ui_->PanelCheckEngie, false);
    ShowOutput(ui_->PanelCarlson, false);
    ui_->ButtonIACStart->setEnabled(false);
}

void TFrameManager::SpeedButtonCheckEngieClick(bool on) {
    if (on)
        frame_.CheckEngieOn(layout_);
    else
        frame_.CheckEngieOff(layout_);
    ShowOutput(ui_->PanelCheckEngie, on);
}

void TFrameManager::SpeedButtonCarlsonClick(bool on) {
    if (on)
        frame_.CarlsonOn(layout_);
    else
        frame_.CarlsonOff(layout_);
    ShowOutput(ui_->PanelCarlson, on);
}

void TFrameManager::BitBtnClearDTCClick() {
    frame_.ClearFaults(layout_);
}

void TFrameManager::BitBtnRezetBLMClick() {
    frame_.ResetLearning(layout_);
}

void TFrameManager::TrackBarIACDesiredChange() {
    iacEditing_ = true;
    ui_->ButtonIACStart->setEnabled(true);
    SetGrowingText(ui_->LabelPos,
                   kUserPositionText + QString::number(ui_->TrackBarIACDesired->value()),
                   labelPosWidth_);
}

void TFrameManager::ButtonIACStartClick() {
    frame_.SetIacTarget(layout_, static_cast<std::uint8_t>(ui_->TrackBarIACDesired->value()));
}

void TFrameManager::ButtonStopIACClick() {
    frame_.CancelIac(layout_);
    iacEditing_ = false;
    ui_->ButtonIACStart->setEnabled(false);
}

} // namespace ecu
