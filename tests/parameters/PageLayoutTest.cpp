// Places, captions, fonts, colours and glyphs of the parameters page.
#include "PageFixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace ecu::test {
namespace {

struct Container {
    const char* name = nullptr;
    QRect rect;
    const char* title = nullptr; // none for panels
};

const Container kContainers[] = {
    {"GroupBoxIdetify", {1, 2, 149, 47}, "Идентификаторы"},
    {"GroupBoxTemperature", {1, 52, 149, 310}, "Температура"},
    {"GroupBoxRPMengine", {152, 1, 369, 108}, "Обороты двигателя"},
    {"GroupBoxTimerEngine", {522, 1, 101, 62}, "Таймер"},
    {"GroupBoxBaro", {523, 64, 100, 174}, "MAP сенсор"},
    {"GroupBoxUOZ", {152, 108, 249, 51}, "Угол опережения зажигания"},
    {"GroupBoxAirControl", {400, 108, 121, 51}, "Регулятор ХХ"},
    {"GroupBoxThrottle", {152, 158, 368, 72}, "Положение дросселя"},
    {"GroupBoxFuel", {151, 229, 370, 86}, "Подача топлива"},
    {"GroupBoxAcc", {523, 239, 100, 57}, "Бортсеть Асс"},
    {"GroupBoxSpeed", {523, 298, 100, 63}, "Скорость "},
    {"GroupBoxBlockLearn", {308, 315, 121, 45}, "Адаптивный блок"},
    {"GroupBoxError", {429, 315, 92, 45}, "Ошибки"},
    {"Panel9", {151, 323, 157, 38}, nullptr},
    {"PanelErrorWord", {152, 46, 370, 267}, nullptr},
};

class PageLayout : public ParameterPage {
protected:
    template <typename W> W* Find(const char* name) const {
        auto* w = page->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

TEST_F(PageLayout, ContainersInTheirPlacesWithTheirCaptions) {
    EXPECT_EQ(page->size(), QSize(624, 363));
    for (const Container& c : kContainers) {
        auto* widget = Find<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), page.get()) << c.name;
        EXPECT_EQ(widget->geometry(), c.rect) << c.name;
        if (c.title != nullptr) {
            auto* box = qobject_cast<QGroupBox*>(widget);
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_EQ(box->title(), QString::fromUtf8(c.title)) << c.name;
        }
    }
    EXPECT_EQ(Find<QPlainTextEdit>("MemoErrorWord")->size(), QSize(361, 238));
    // The fault list lies over the group boxes it covers.
    EXPECT_EQ(page->children().last(), Find<QFrame>("PanelErrorWord"));
}

TEST_F(PageLayout, EveryEditSitsInItsContainer) {
    const std::pair<const char*, const char*> owners[] = {
        {"EditPromID", "GroupBoxIdetify"},
        {"EditTemperatureAir", "PanelTemperatureAirr"},
        {"EditTemperatureWater", "PanelTemperatureWater"},
        {"EditRPMengine", "GroupBoxRPMengine"},
        {"EditRPMdesired", "GroupBoxRPMengine"},
        {"EditRPMdesiredIDLE", "GroupBoxRPMengine"},
        {"EditRPMsec", "GroupBoxRPMengine"},
        {"EditRPMperiod", "GroupBoxRPMengine"},
        {"EditTimer", "GroupBoxTimerEngine"},
        {"EditMAPbar", "GroupBoxBaro"},
        {"EditMapV", "GroupBoxBaro"},
        {"EditBaro", "GroupBoxBaro"},
        {"EditUOZ", "GroupBoxUOZ"},
        {"EditAirControlDesired", "GroupBoxAirControl"},
        {"EditAirControl", "GroupBoxAirControl"},
        {"EditThrottleAngle", "GroupBoxThrottle"},
        {"EditThrottlePosition", "GroupBoxThrottle"},
        {"EditINJwidth", "GroupBoxFuel"},
        {"EditOxygenSensor", "GroupBoxFuel"},
        {"EditFuelAirRatio", "GroupBoxFuel"},
        {"EditFuelIntegrator", "GroupBoxFuel"},
        {"EditAcc", "GroupBoxAcc"},
        {"EditSpeed", "GroupBoxSpeed"},
        {"EditBlockLearn", "GroupBoxBlockLearn"},
        {"EditBlockLearnCell", "GroupBoxBlockLearn"},
        {"EditError", "GroupBoxError"},
        {"SpeedButtonError", "GroupBoxError"},
        {"BitBtnRezetECU", "Panel9"},
    };
    for (const auto& [child, owner] : owners) {
        auto* widget = Find<QWidget>(child);
        auto* container = Find<QWidget>(owner);
        ASSERT_TRUE(widget && container);
        EXPECT_TRUE(container->isAncestorOf(widget)) << child;
        const QRect inOwner(widget->mapTo(container, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(container->rect().contains(inOwner)) << child;
    }
    for (auto* edit : page->findChildren<QLineEdit*>())
        EXPECT_GE(edit->height(), QFontMetrics(edit->font()).height())
            << edit->objectName().toStdString();
}

TEST_F(PageLayout, FontsAndColours) {
    const QColor black(0, 0, 0), lime(0, 255, 0), red(255, 0, 0), blue(0, 0, 255), green(0, 128, 0);
    struct EditStyle {
        const char* name = nullptr;
        int pixels = 0;
        QColor digits;
    };
    for (const EditStyle& e :
         {EditStyle{"EditPromID", 19, red}, EditStyle{"EditSpeed", 19, lime},
          EditStyle{"EditTimer", 21, lime}, EditStyle{"EditRPMengine", 16, lime},
          EditStyle{"EditRPMdesired", 16, red}, EditStyle{"EditRPMdesiredIDLE", 16, red},
          EditStyle{"EditAirControlDesired", 16, red}, EditStyle{"EditBlockLearn", 16, red},
          EditStyle{"EditAirControl", 16, lime}}) {
        auto* edit = Find<QLineEdit>(e.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->font().family(), "Arial") << e.name;
        EXPECT_EQ(edit->font().pixelSize(), e.pixels) << e.name;
        EXPECT_TRUE(edit->font().bold()) << e.name;
        EXPECT_EQ(edit->palette().color(QPalette::Text), e.digits) << e.name;
        EXPECT_EQ(edit->palette().color(QPalette::Base), black) << e.name;
    }
    for (auto* box : page->findChildren<QGroupBox*>()) {
        const QString name = box->objectName();
        const bool identify = name == "GroupBoxIdetify";
        const bool redCaption =
            identify || name == "GroupBoxTemperature" || name == "GroupBoxError";
        EXPECT_EQ(box->palette().color(QPalette::WindowText), redCaption ? red : blue)
            << name.toStdString();
        EXPECT_EQ(box->font().pixelSize(), identify ? 11 : 13) << name.toStdString();
        EXPECT_EQ(box->font().italic(), !identify) << name.toStdString();
        EXPECT_EQ(box->font().family(), "Times New Roman");
    }
    // Captions inside the boxes keep the page's plain black font.
    auto* caption = Find<QLabel>("LabelRPMdesired");
    EXPECT_EQ(caption->text(), "расчитанные ЭБУ");
    EXPECT_EQ(caption->font().pixelSize(), 11);
    EXPECT_FALSE(caption->font().italic());
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), black);

    const std::pair<const char*, QColor> scale[] = {
        {"LabelScaleWaterMinus40", blue}, {"LabelScaleWater0", blue},
        {"LabelScaleWater50", green},     {"LabelScaleWater100", green},
        {"LabelScaleWater150", red},      {"LabelScaleRPMengineMax", red},
    };
    for (const auto& [name, colour] : scale) {
        auto* label = Find<QLabel>(name);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), colour) << name;
        EXPECT_TRUE(label->font().bold()) << name;
    }
    EXPECT_EQ(Find<QLabel>("LabelScaleRPMengineMax")->text(), "6375");
    EXPECT_EQ(Find<QLabel>("LabelScaleAirMinus40")->text(), " -40 --");

    auto* memo = Find<QPlainTextEdit>("MemoErrorWord");
    EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_EQ(memo->palette().color(QPalette::Text), blue);
    EXPECT_EQ(memo->font().family(), "Times New Roman");
    auto* heading = Find<QLabel>("LabelErrorList");
    EXPECT_EQ(heading->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_TRUE(heading->font().bold() && heading->font().underline());
}

// Scale marks and colour strips stand at the heights of their temperatures on the bar.
TEST_F(PageLayout, TemperatureScaleFollowsTheBar) {
    for (const char* kind : {"Air", "Water"}) {
        const QString k = QString::fromLatin1(kind);
        auto* bar = Find<QProgressBar>(("ProgressBarTemperature" + k).toLatin1().constData());
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->orientation(), Qt::Vertical);
        const QRect r = bar->geometry();
        auto heightOf = [&r](double celsius) {
            return r.bottom() + 1 - (celsius + 40) / 0.75 / 255 * r.height();
        };
        for (const auto& [suffix, celsius] :
             {std::pair{"Minus40", -40}, {"0", 0}, {"50", 50}, {"100", 100}, {"150", 150}}) {
            auto* label = Find<QLabel>(("LabelScale" + k + suffix).toLatin1().constData());
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->parentWidget(), bar->parentWidget());
            EXPECT_NEAR(label->geometry().center().y() + 0.5, heightOf(celsius), 1.5)
                << kind << celsius;
            EXPECT_LE(label->geometry().right(), r.left()) << kind << celsius;
        }
        auto* hot = Find<QFrame>(("ShapeTemperature" + k + "Hot").toLatin1().constData());
        auto* normal = Find<QFrame>(("ShapeTemperature" + k + "Normal").toLatin1().constData());
        auto* cold = Find<QFrame>(("ShapeTemperature" + k + "Cold").toLatin1().constData());
        ASSERT_TRUE(hot && normal && cold);
        EXPECT_EQ(hot->geometry().top(), r.top());
        EXPECT_NEAR(normal->geometry().top(), heightOf(107), 1.0);
        EXPECT_NEAR(cold->geometry().top(), heightOf(38), 1.0);
        EXPECT_EQ(cold->geometry().bottom(), r.bottom());
        EXPECT_EQ(hot->palette().color(QPalette::Window), QColor(255, 0, 0));
        EXPECT_EQ(normal->palette().color(QPalette::Window), QColor(0, 255, 0));
        EXPECT_EQ(cold->palette().color(QPalette::Window), QColor(0, 0, 255));
    }
}

// Every bar fills its share of its length in one piece, with no gaps between blocks.
TEST_F(PageLayout, BarsAreSmooth) {
    page->show();
    for (auto* bar : page->findChildren<QProgressBar*>()) {
        const std::string name = bar->objectName().toStdString();
        bar->setValue(200);
        const QImage image = bar->grab().toImage();
        const bool vertical = bar->orientation() == Qt::Vertical;
        const int length = vertical ? image.height() : image.width();
        // Along the middle line, from the bar's start, inside its frame.
        auto at = [&](int i) {
            return vertical ? image.pixelColor(image.width() / 2, image.height() - 1 - i)
                            : image.pixelColor(i, image.height() / 2);
        };
        const QColor chunk = at(length / 4);
        EXPECT_NE(chunk, at(length - 3)) << name; // the empty part differs
        for (int i = 3; i < length * 200 / 255 - 3; ++i)
            ASSERT_EQ(at(i), chunk) << name << " at " << i;
    }
}

TEST_F(PageLayout, GlyphsHaveADisabledLook) {
    auto* reset = Find<QPushButton>("BitBtnRezetECU");
    auto* faults = Find<QToolButton>("SpeedButtonError");
    for (const QIcon& icon : {reset->icon(), faults->icon()}) {
        ASSERT_FALSE(icon.isNull());
        const QImage normal = icon.pixmap(QSize(16, 16), QIcon::Normal).toImage();
        const QImage off = icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage();
        EXPECT_EQ(normal.size(), QSize(16, 16));
        EXPECT_EQ(off.size(), QSize(16, 16));
        EXPECT_NE(normal, off);
    }
    EXPECT_TRUE(faults->text().isEmpty() || faults->toolButtonStyle() == Qt::ToolButtonIconOnly);
}

} // namespace
} // namespace ecu::test
