// The control page's form: every control's kind, place, caption, colours, fonts
// and glyphs.
#include "PageFixture.h"

#include <QGroupBox>
#include <QIcon>
#include <QImage>

namespace ecu::testing {
namespace {

struct Control {
    const char* name = nullptr;
    const char* kind = nullptr;
    QRect place;
    const char* caption = nullptr; // text, title; nullptr: none to check
};

const Control kControls[] = {
    {"Label1",
     "QLabel",
     {83, 4, 492, 19},
     "Управление исполнительными механизмами и состоянием системы"},
    {"GroupBoxControllerIAC", "QGroupBox", {1, 29, 249, 126}, "Контроллер холостого хода IAC"},
    {"Label2", "QLabel", {81, 19, 117, 15}, "Шаг регулятора х/хода"},
    {"EditIACDesired", "QLineEdit", {10, 19, 41, 25}, ""},
    {"LabelPos", "QLabel", {81, 34, 116, 15}, "Позиция регулятора-"},
    {"TrackBarIACDesired", "QSlider", {3, 48, 242, 25}, nullptr},
    {"Label3", "QLabel", {82, 78, 125, 15}, "Обороты холостого хода"},
    {"EditRPMIAC", "QLineEdit", {10, 73, 41, 25}, ""},
    {"ButtonIACStart", "QPushButton", {42, 103, 97, 20}, "Установить"},
    {"ButtonStopIAC", "QPushButton", {143, 103, 97, 20}, "Отменить"},
    {"GroupBoxUOZDesired", "QGroupBox", {1, 155, 249, 103}, "Угол опережения зажигания"},
    {"Label4", "QLabel", {72, 19, 144, 15}, "Угол опережения зажигания"},
    {"EditUOZDesired", "QLineEdit", {10, 19, 41, 25}, ""},
    {"TrackBarUOZDesired", "QSlider", {3, 48, 242, 25}, nullptr},
    {"GroupBoxFuelAirRatio", "QGroupBox", {1, 258, 249, 103}, "Соотношение воздух/топливо"},
    {"Label7", "QLabel", {72, 19, 122, 15}, "Состав топливной смеси"},
    {"EditFuelAirRatio", "QLineEdit", {10, 19, 41, 25}, ""},
    {"TrackBarFuelAirRatio", "QSlider", {3, 48, 242, 25}, nullptr},
    {"GroupBoxStatus", "QGroupBox", {249, 29, 125, 332}, "Состояние"},
    {"PanelCheckEngie", "QLabel", {6, 34, 81, 23}, "CheckEngie"},
    {"SpeedButtonCheckEngie", "QToolButton", {91, 35, 23, 22}, nullptr},
    {"PanelCarlson", "QLabel", {6, 70, 81, 23}, "Carlson"},
    {"SpeedButtonCarlson", "QToolButton", {92, 71, 22, 23}, nullptr},
    {"BitBtnClearDTC", "QPushButton", {5, 275, 115, 25}, "Сброс  ошибок  "},
    {"BitBtnRezetBLM", "QPushButton", {5, 301, 115, 25}, "Сброс обучения"},
};

QString CaptionOf(const QWidget* w) {
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return {};
}

using ControlForm = PageTest;

TEST_F(ControlForm, EveryControlHasItsKindPlaceAndExactCaption) {
    EXPECT_EQ(page->size(), QSize(624, 363));
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* w = Get<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.kind);
        EXPECT_EQ(w->geometry(), c.place);
        if (c.caption) {
            EXPECT_EQ(CaptionOf(w), T(c.caption));
        }
        EXPECT_EQ(w->font().family(), QStringLiteral("Times New Roman"));
    }
    // The groups sit on the frame itself, their controls inside them.
    EXPECT_EQ(Get<QWidget>("GroupBoxStatus")->parentWidget(), page.get());
    EXPECT_EQ(Get<QWidget>("BitBtnRezetBLM")->parentWidget()->objectName(),
              QStringLiteral("GroupBoxStatus"));
    EXPECT_EQ(Get<QWidget>("TrackBarIACDesired")->parentWidget()->objectName(),
              QStringLiteral("GroupBoxControllerIAC"));
}

TEST_F(ControlForm, BarsTogglesAndStartingStates) {
    for (const char* name : {"TrackBarIACDesired", "TrackBarUOZDesired", "TrackBarFuelAirRatio"}) {
        QSlider* bar = Bar(name);
        EXPECT_EQ(bar->minimum(), 0) << name;
        EXPECT_EQ(bar->maximum(), 255) << name;
        EXPECT_EQ(bar->tickInterval(), 5) << name;
        EXPECT_EQ(bar->orientation(), Qt::Horizontal) << name;
        EXPECT_EQ(bar->value(), 0) << name;
    }
    EXPECT_EQ(Bar("TrackBarIACDesired")->tickPosition(), QSlider::TicksAbove);
    for (const char* name : {"SpeedButtonCheckEngie", "SpeedButtonCarlson"}) {
        auto* b = Get<QToolButton>(name);
        EXPECT_TRUE(b->isCheckable()) << name;
        EXPECT_FALSE(b->isChecked()) << name;
        EXPECT_FALSE(b->autoExclusive()) << name; // both may be down, both may be up
    }
    EXPECT_FALSE(Get<QPushButton>("ButtonIACStart")->isEnabled());
    EXPECT_TRUE(Get<QPushButton>("ButtonStopIAC")->isEnabled());
    EXPECT_FALSE(page->IacEditing());
}

TEST_F(ControlForm, ColoursAndFonts) {
    const auto colour = [&](const char* name, QPalette::ColorRole role) {
        return Get<QWidget>(name)->palette().color(role);
    };
    EXPECT_EQ(colour("Label1", QPalette::WindowText), QColor(0, 128, 128)); // teal
    const QFont title = Get<QWidget>("Label1")->font();
    EXPECT_TRUE(title.bold());
    EXPECT_TRUE(title.italic());
    EXPECT_EQ(colour("GroupBoxStatus", QPalette::WindowText), QColor(255, 0, 0));
    for (const char* name :
         {"EditIACDesired", "EditRPMIAC", "EditUOZDesired", "EditFuelAirRatio"}) {
        EXPECT_EQ(colour(name, QPalette::Base), QColor(0, 0, 0)) << name;
        EXPECT_EQ(colour(name, QPalette::Text), QColor(0, 255, 0)) << name;
        EXPECT_TRUE(Get<QWidget>(name)->font().bold()) << name;
        EXPECT_FALSE(Get<QLineEdit>(name)->isReadOnly()) << name;
    }
    for (const char* name : {"PanelCheckEngie", "PanelCarlson"}) {
        EXPECT_EQ(colour(name, QPalette::Window), QColor(128, 128, 128)) << name;
        EXPECT_EQ(colour(name, QPalette::WindowText), QColor(255, 255, 0)) << name;
        EXPECT_TRUE(Get<QWidget>(name)->font().bold()) << name;
        EXPECT_TRUE(Get<QWidget>(name)->autoFillBackground()) << name;
    }
}

TEST_F(ControlForm, GlyphsHaveANormalAndADisabledPicture) {
    for (const char* name :
         {"SpeedButtonCheckEngie", "SpeedButtonCarlson", "BitBtnClearDTC", "BitBtnRezetBLM"}) {
        SCOPED_TRACE(name);
        const QIcon icon = Get<QAbstractButton>(name)->icon();
        ASSERT_FALSE(icon.isNull());
        const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage();
        ASSERT_EQ(normal.size(), QSize(16, 16));
        ASSERT_EQ(disabled.size(), QSize(16, 16));
        EXPECT_NE(normal, disabled);
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                drawn += qAlpha(normal.pixel(x, y)) > 0 ? 1 : 0;
        EXPECT_GT(drawn, 30) << "an empty picture";
    }
}

} // namespace
} // namespace ecu::testing
