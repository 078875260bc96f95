#include "ui/TFramePort.h"

#include "ui/WidgetLook.h"
#include "ui_TFramePort.h"

#include <QButtonGroup>
#include <QRegularExpressionValidator>

namespace ecu {

namespace {
const char* const PortNames[] = {"COM1", "COM2"};
constexpr int BaudDigits = 7;
} // namespace

std::uint32_t ParseBaudRate(const QString& text) {
    bool ok = false;
    const qulonglong rate = text.trimmed().toULongLong(&ok);
    if (!ok || rate < 1 || rate > MaxBaudRate)
        throw BadBaudRate(
            QStringLiteral("Скорость передачи «%1» недопустима: нужно целое число от 1 до %2")
                .arg(text)
                .arg(MaxBaudRate)
                .toStdString());
    return static_cast<std::uint32_t>(rate);
}

TFramePort::TFramePort(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFramePort>()), port_(new QButtonGroup(this)),
      regim_(new QButtonGroup(this)) {
    ui_->setupUi(this);
    port_->addButton(ui_->RadioButtonCOM1, 0);
    port_->addButton(ui_->RadioButtonCOM2, 1);
    regim_->addButton(ui_->RadioButtonRegim0, static_cast<int>(WorkingMode::Live));
    regim_->addButton(ui_->RadioButtonRegim1, static_cast<int>(WorkingMode::LiveRecording));
    regim_->addButton(ui_->RadioButtonRegim2, static_cast<int>(WorkingMode::Playback));
    ui_->RadioButtonRegim0->setChecked(true);

    // Colours are the form's; fonts are set here, as forms know point sizes only.
    SetPixelFont(*ui_->Label1, "Times New Roman", 16, Bold | Italic);
    for (QLabel* label : {ui_->Label4, ui_->Label5, ui_->Label6, ui_->Label7})
        SetPixelFont(*label, "Times New Roman", 13, Bold | Italic);
    // Typed rates other than the listed ones are allowed, digits only.
    ui_->ComboBoxBoudRate->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(BaudDigits)), this));

    connect(port_, &QButtonGroup::idClicked, this, &TFramePort::RadioGroupPortClick);
    connect(regim_, &QButtonGroup::idClicked, this, &TFramePort::RadioGroupRegimClick);
    connect(ui_->ButtonOpenPort, &QPushButton::clicked, this, &TFramePort::OpenPortClicked);
    connect(ui_->ButtonStop, &QPushButton::clicked, this, &TFramePort::ClosePortClicked);
    connect(ui_->ButtonChange, &QPushButton::clicked, this, &TFramePort::ButtonChangeClick);
    connect(ui_->ButtonAccept, &QPushButton::clicked, this, &TFramePort::ButtonAcceptClick);
    connect(ui_->SpeedButtonSaveFile, &QToolButton::clicked, this, &TFramePort::SaveFileClicked);
    connect(ui_->SpeedButtonOpenFile, &QToolButton::clicked, this, &TFramePort::OpenFileClicked);
}

TFramePort::~TFramePort() = default;

QString TFramePort::PortName() const {
    return QString::fromLatin1(PortNames[port_->checkedId() == 1 ? 1 : 0]);
}

std::uint32_t TFramePort::BaudRate() const {
    return ParseBaudRate(ui_->ComboBoxBoudRate->currentText());
}

int TFramePort::Delay() const {
    bool ok = false;
    const int ms = ui_->SpinEditDelay->cleanText().toInt(&ok);
    return ok ? std::clamp(ms, ui_->SpinEditDelay->minimum(), ui_->SpinEditDelay->maximum())
              : DefaultDelayMs;
}

int TFramePort::EngineVariant() const {
    return ui_->ComboBoxTypEngie->currentIndex();
}

QComboBox* TFramePort::GraphBox(int graph) const {
    QComboBox* const boxes[GraphCount] = {ui_->ComboBoxGraph1, ui_->ComboBoxGraph2,
                                          ui_->ComboBoxGraph3, ui_->ComboBoxGraph4};
    return boxes[std::clamp(graph, 0, GraphCount - 1)];
}

int TFramePort::GraphChannel(int graph) const {
    return GraphBox(graph)->currentIndex();
}

WorkingMode TFramePort::WorkingMode() const {
    return static_cast<ecu::WorkingMode>(regim_->checkedId()); // -1: none
}

void TFramePort::SetGraphChannel(int graph, int item) {
    GraphBox(graph)->setCurrentIndex(item);
}

void TFramePort::ChoosePort(int item) {
    if (QAbstractButton* button = port_->button(item))
        button->setChecked(true);
    RadioGroupPortClick(item);
}

void TFramePort::SetBaudRateItem(int item) {
    ui_->ComboBoxBoudRate->setCurrentIndex(item);
}

void TFramePort::SetDelay(int ms) {
    ui_->SpinEditDelay->setValue(ms);
}

void TFramePort::SetEngineVariant(int item) {
    ui_->ComboBoxTypEngie->setCurrentIndex(item);
}

void TFramePort::ChooseWorkingMode(ecu::WorkingMode mode) {
    const int item = static_cast<int>(mode);
    if (QAbstractButton* button = regim_->button(item))
        button->setChecked(true);
    RadioGroupRegimClick(item);
}

void TFramePort::EnableFileButtons(bool open, bool save) {
    ui_->SpeedButtonOpenFile->setEnabled(open);
    ui_->SpeedButtonSaveFile->setEnabled(save);
}

void TFramePort::SetPortControlsEnabled(bool enabled) {
    ui_->RadioGroupPort->setEnabled(enabled);
    ui_->SpinEditDelay->setEnabled(enabled);
    ui_->ButtonOpenPort->setEnabled(enabled);
    ui_->ComboBoxBoudRate->setEnabled(enabled);
    ui_->ComboBoxTypEngie->setEnabled(enabled);
    ui_->ButtonStop->setEnabled(!enabled);
}

void TFramePort::ShowPortOpen() {
    SetPortControlsEnabled(false);
}

void TFramePort::ShowPortClosed() {
    SetPortControlsEnabled(true);
}

void TFramePort::ShowPortClosedByPlayback() {
    ui_->ButtonStop->setEnabled(false);
    ui_->ButtonOpenPort->setEnabled(true);
}

void TFramePort::SetGraphChoicesEditable(bool editable) {
    for (int graph = 0; graph < GraphCount; ++graph)
        GraphBox(graph)->setEnabled(editable);
    ui_->ButtonAccept->setEnabled(editable);
}

void TFramePort::ButtonChangeClick() {
    SetGraphChoicesEditable(true);
}

void TFramePort::ButtonAcceptClick() {
    SetGraphChoicesEditable(false);
    emit GraphChoicesAccepted();
}

void TFramePort::RadioGroupPortClick(int item) {
    emit PortChosen(QString::fromLatin1(PortNames[item == 1 ? 1 : 0]));
}

void TFramePort::RadioGroupRegimClick(int item) {
    const auto mode = static_cast<ecu::WorkingMode>(item);
    EnableFileButtons(mode == WorkingMode::Playback, mode == WorkingMode::LiveRecording);
    emit WorkingModeChosen(mode);
}

} // namespace ecu
