#include "ui/TFrameParameter.h"

#include "link/EngineData.h"
#include "ui/TextRules.h"
#include "ui/WidgetLook.h"
#include "ui_TFrameParameter.h"

#include <QLatin1String>

#include <array>

namespace ecu {
namespace {

// One line per fault bit, first byte bit 0..7, then second byte bit 0..7. The letters
// of "МАР" and the "Н" of the second byte's lines are Cyrillic, as the ECU's manual has them.
constexpr std::array<std::array<const char*, 8>, 2> kFaultLines{{
    {"Код 42 - Цепь управления зажиганием", "Код 33 - МАР сенсор",
     "Код 32 - Отказ системы рециркуляции", "Код 24 - Ошибка датчика скорости",
     "Код 23 - Ошибка датчика температуры воздуха", "Код 21 - Ошибка датчика положения дросселя",
     "Код 14 - Ошибка датчика температуры охлаждающей жидкости",
     "Код 13 - Обрыв цепи датчика кислорода"},
    {"Неидентифицированная пока ошибка 01Н ", "Неидентифицированная пока ошибка 02Н ",
     "Неидентифицированная пока ошибка 04Н ", "Неидентифицированная пока ошибка 08Н ",
     "Неидентифицированная пока ошибка 10Н ", "Неидентифицированная пока ошибка 20Н ",
     "Неидентифицированная пока ошибка 40Н ", "Неидентифицированная пока ошибка 80Н "},
}};

constexpr const char* kNoFaults = "Ошибки отсутствуют";

constexpr const char* kSerif = "Times New Roman";
constexpr const char* kSans = "Arial";

// Group boxes whose captions are red; the others' are blue.
constexpr std::array kRedCaptions{"GroupBoxTemperature", "GroupBoxError"};

// Digits in red: the PROM id, the values set by the ECU, and the learning block.
constexpr std::array kRedDigits{"EditPromID", "EditRPMdesired", "EditRPMdesiredIDLE",
                                "EditAirControlDesired", "EditBlockLearn"};

struct LargeDigits {
    const char* name;
    int pixels;
};
constexpr std::array<LargeDigits, 3> kLargeDigits{
    {{"EditPromID", 19}, {"EditSpeed", 19}, {"EditTimer", 21}}};

struct ColouredLabel {
    const char* name;
    std::uint32_t bgr;
    unsigned style;
};

// The scale marks: horizontal bars' ends red and bold; the temperature marks bold italic,
// cold blue, normal green, hot red.
constexpr std::array<ColouredLabel, 18> kScaleLabels{{
    {"LabelScaleRPMengineMin", bgr::Red, Bold},
    {"LabelScaleRPMengineMax", bgr::Red, Bold},
    {"LabelScaleUOZMin", bgr::Red, Bold},
    {"LabelScaleUOZMax", bgr::Red, Bold},
    {"LabelScaleThrottleAngleMin", bgr::Red, Bold},
    {"LabelScaleThrottleAngleMax", bgr::Red, Bold},
    {"LabelScaleThrottlePositionMin", bgr::Red, Bold},
    {"LabelScaleThrottlePositionMax", bgr::Red, Bold},
    {"LabelScaleAirMinus40", bgr::Blue, Bold | Italic},
    {"LabelScaleAir0", bgr::Blue, Bold | Italic},
    {"LabelScaleAir50", bgr::Green, Bold | Italic},
    {"LabelScaleAir100", bgr::Green, Bold | Italic},
    {"LabelScaleAir150", bgr::Red, Bold | Italic},
    {"LabelScaleWaterMinus40", bgr::Blue, Bold | Italic},
    {"LabelScaleWater0", bgr::Blue, Bold | Italic},
    {"LabelScaleWater50", bgr::Green, Bold | Italic},
    {"LabelScaleWater100", bgr::Green, Bold | Italic},
    {"LabelScaleWater150", bgr::Red, Bold | Italic},
}};

struct Strip {
    const char* name;
    std::uint32_t bgr;
};
constexpr std::array<Strip, 6> kStrips{{
    {"ShapeTemperatureAirHot", bgr::Red},
    {"ShapeTemperatureAirNormal", bgr::Lime},
    {"ShapeTemperatureAirCold", bgr::Blue},
    {"ShapeTemperatureWaterHot", bgr::Red},
    {"ShapeTemperatureWaterNormal", bgr::Lime},
    {"ShapeTemperatureWaterCold", bgr::Blue},
}};

template <typename W> W* Child(const QWidget* page, const char* name) {
    auto* widget = page->findChild<W*>(QString::fromLatin1(name));
    Q_ASSERT(widget != nullptr);
    return widget;
}

// A progress bar repaints itself at once when its value moves visibly. With updates off
// for the moment of the change it is only marked for the next paint instead, together
// with the edits, so a cycle costs one paint of what changed.
void SetBar(QProgressBar* bar, std::uint8_t raw) {
    if (bar->value() == raw)
        return;
    bar->setUpdatesEnabled(false);
    bar->setValue(raw);
    bar->setUpdatesEnabled(true);
}

} // namespace

TFrameParameter::TFrameParameter(const EngineData& engine, QWidget* parent,
                                 const DisplayTable& table)
    : QWidget(parent), engine_(engine), table_(table),
      ui_(std::make_unique<Ui::TFrameParameter>()) {
    ui_->setupUi(this);
    FindEdits();
    ApplyStyle();
    ui_->PanelErrorWord->hide();
    ui_->MemoErrorWord->clear();
    connect(ui_->SpeedButtonError, &QToolButton::clicked, this,
            &TFrameParameter::SpeedButtonErrorClick);
    connect(ui_->BitBtnRezetECU, &QPushButton::clicked, this,
            &TFrameParameter::BitBtnRezetECUClick);
}

TFrameParameter::~TFrameParameter() = default;

const char* TFrameParameter::FaultLine(int byte, int bit) {
    return kFaultLines.at(static_cast<std::size_t>(byte)).at(static_cast<std::size_t>(bit));
}

const char* TFrameParameter::NoFaultsLine() {
    return kNoFaults;
}

void TFrameParameter::ApplyStyle() {
    setFont(PixelFont(kSerif, 11));
    // Every caption in the frame's font and black first, so that the group boxes' caption
    // fonts and colours do not pass on to their contents.
    for (auto* label : findChildren<QLabel*>()) {
        label->setFont(PixelFont(kSerif, 11));
        SetRoleColor(*label, QPalette::WindowText, BgrColor(bgr::Black));
    }
    ui_->BitBtnRezetECU->setFont(PixelFont(kSerif, 11));
    for (auto* box : findChildren<QGroupBox*>()) {
        box->setFont(PixelFont(kSerif, 13, Bold | Italic));
        SetRoleColor(*box, QPalette::WindowText, BgrColor(bgr::Blue));
    }
    for (const char* name : kRedCaptions)
        SetRoleColor(*Child<QGroupBox>(this, name), QPalette::WindowText, BgrColor(bgr::Red));
    ui_->GroupBoxIdetify->setFont(PixelFont(kSerif, 11));
    SetRoleColor(*ui_->GroupBoxIdetify, QPalette::WindowText, BgrColor(bgr::Red));

    for (auto* edit : findChildren<QLineEdit*>()) {
        edit->setFont(PixelFont(kSans, 16, Bold));
        SetRoleColor(*edit, QPalette::Base, BgrColor(bgr::Black));
        SetRoleColor(*edit, QPalette::Text, BgrColor(bgr::Lime));
    }
    for (const char* name : kRedDigits)
        SetRoleColor(*Child<QLineEdit>(this, name), QPalette::Text, BgrColor(bgr::Red));
    for (const auto& large : kLargeDigits)
        Child<QLineEdit>(this, large.name)->setFont(PixelFont(kSans, large.pixels, Bold));

    for (const auto& scale : kScaleLabels) {
        auto* label = Child<QLabel>(this, scale.name);
        label->setFont(PixelFont(kSerif, 11, scale.style));
        SetRoleColor(*label, QPalette::WindowText, BgrColor(scale.bgr));
    }
    for (auto* bar : findChildren<QProgressBar*>())
        SetSmoothBar(*bar);
    for (const auto& strip : kStrips)
        SetRoleColor(*Child<QFrame>(this, strip.name), QPalette::Window, BgrColor(strip.bgr));

    SetRoleColor(*ui_->PanelErrorWord, QPalette::Window, BgrColor(bgr::Gray));
    ui_->LabelErrorList->setFont(PixelFont(kSerif, 13, Bold | Underline));
    SetRoleColor(*ui_->LabelErrorList, QPalette::WindowText, BgrColor(bgr::Yellow));
    ui_->MemoErrorWord->setFont(PixelFont(kSerif, 13));
    SetRoleColor(*ui_->MemoErrorWord, QPalette::Base, BgrColor(bgr::Silver));
    SetRoleColor(*ui_->MemoErrorWord, QPalette::Text, BgrColor(bgr::Blue));
}

void TFrameParameter::FindEdits() {
    for (const FieldFormat& field : table_) {
        if (field.edit != nullptr)
            edits_[Index(field.field)] = Child<QLineEdit>(this, field.edit);
    }
}

void TFrameParameter::SetText(QLineEdit* edit, const std::string& text) {
    const QLatin1String latin(text.data(), static_cast<qsizetype>(text.size()));
    if (edit->text() != latin)
        edit->setText(latin);
}

void TFrameParameter::ShowParameters() {
    const EngineData& e = engine_;
    Ui::TFrameParameter& u = *ui_;
    SetBar(u.ProgressBarTemperatureWater, e.TemperatureWaterRaw);
    SetBar(u.ProgressBarTemperatureAir, e.TemperatureAirRaw);
    SetBar(u.ProgressBarUOZ, e.UOZRaw);
    SetBar(u.ProgressBarThrottleAngle, e.ThrottleAngleRaw);
    SetBar(u.ProgressBarThrottlePosition, e.ThrottlePositionRaw);
    SetBar(u.ProgressBarRPMengine, e.RPMengineRaw);
    ForEachField(e, [this](Field field, const auto& value) {
        QLineEdit* edit = edits_[Index(field)];
        if (edit == nullptr)
            return;
        text_.clear();
        AppendShown(text_, value, table_[Index(field)].format);
        SetText(edit, text_);
    });
}

void TFrameParameter::ShowFaultList() {
    QPlainTextEdit* memo = ui_->MemoErrorWord;
    if (engine_.ErrorByte1 == 0 && engine_.ErrorByte2 == 0) {
        memo->appendPlainText(QString::fromUtf8(kNoFaults));
        return;
    }
    const std::array<std::uint8_t, 2> bytes{engine_.ErrorByte1, engine_.ErrorByte2};
    for (std::size_t byte = 0; byte < bytes.size(); ++byte) {
        for (std::size_t bit = 0; bit < 8; ++bit) {
            if ((bytes[byte] >> bit) & 1u)
                memo->appendPlainText(QString::fromUtf8(kFaultLines[byte][bit]));
        }
    }
}

void TFrameParameter::SpeedButtonErrorClick() {
    // The panel's own visibility flag: the page itself may be on a hidden tab.
    QFrame* panel = ui_->PanelErrorWord;
    const bool show = panel->isHidden();
    panel->setVisible(show);
    if (show)
        ShowFaultList();
    else
        ui_->MemoErrorWord->clear();
}

void TFrameParameter::BitBtnRezetECUClick() {
    emit ResetEcuRequested();
}

} // namespace ecu
