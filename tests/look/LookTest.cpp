// The look helper and the looks the forms carry: every button glyph comes as a pair under one
// naming rule, a disabled button shows the drawn disabled picture rather than the toolkit's
// greyed copy, and static colours come from the pages' forms.
#include "app/TFrameAbout.h"
#include "app/TPanelFoother.h"
#include "link/ControlFrame.h"
#include "link/EngineData.h"
#include "ui/TFrameManager.h"
#include "ui/TFrameParameter.h"
#include "ui/TFramePort.h"
#include "ui/WidgetLook.h"

#include <QAbstractButton>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

namespace ecu::test {
namespace {

QImage Argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Each button's icon shows the drawn pair named by one rule: "<name>.png" while enabled,
// "<name>-disabled.png" while disabled.
void ExpectGlyphs(const QWidget& page, const char* button, const char* path) {
    SCOPED_TRACE(button);
    const auto* widget = page.findChild<QAbstractButton*>(QString::fromLatin1(button));
    ASSERT_NE(widget, nullptr);
    const QString base = QString::fromLatin1(path);
    const QImage normal(base + QStringLiteral(".png"));
    const QImage disabled(base + QStringLiteral("-disabled.png"));
    ASSERT_EQ(normal.size(), QSize(16, 16));
    ASSERT_EQ(disabled.size(), QSize(16, 16));
    EXPECT_NE(Argb(normal), Argb(disabled));
    const QIcon icon = widget->icon();
    EXPECT_EQ(Argb(icon.pixmap(16, 16, QIcon::Normal).toImage()), Argb(normal));
    EXPECT_EQ(Argb(icon.pixmap(16, 16, QIcon::Disabled).toImage()), Argb(disabled));
}

TEST(Look, EveryButtonGlyphIsItsDrawnPairInBothStates) {
    const TPanelFoother footer;
    ExpectGlyphs(footer, "BitBtnStart", ":/glyphs/start");
    ExpectGlyphs(footer, "BitBtnStop", ":/glyphs/stop");

    const EngineData engine;
    const TFrameParameter parameters(engine);
    ExpectGlyphs(parameters, "BitBtnRezetECU", ":/glyphs/parameter/reset_ecu");
    ExpectGlyphs(parameters, "SpeedButtonError", ":/glyphs/parameter/fault_list");

    ControlFrame frame;
    const ControlLayout layout;
    const TFrameManager control(frame, layout, engine);
    ExpectGlyphs(control, "SpeedButtonCheckEngie", ":/glyphs/control/checkengie");
    ExpectGlyphs(control, "SpeedButtonCarlson", ":/glyphs/control/carlson");
    ExpectGlyphs(control, "BitBtnClearDTC", ":/glyphs/control/cleardtc");
    ExpectGlyphs(control, "BitBtnRezetBLM", ":/glyphs/control/rezetblm");
}

TEST(Look, FontsAndColoursReachTheWidget) {
    QWidget widget;
    SetPixelFont(widget, "Arial", 16, Bold | Underline);
    EXPECT_EQ(widget.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(widget.font().pixelSize(), 16);
    EXPECT_TRUE(widget.font().bold());
    EXPECT_FALSE(widget.font().italic());
    EXPECT_TRUE(widget.font().underline());
    SetFontStyle(widget, Italic);
    EXPECT_EQ(widget.font().pixelSize(), 16);
    EXPECT_FALSE(widget.font().bold());
    EXPECT_TRUE(widget.font().italic());

    // 0x00BBGGRR: red in the low byte.
    SetRoleColor(widget, QPalette::Base, BgrColor(0x336699));
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        EXPECT_EQ(widget.palette().color(group, QPalette::Base), QColor(0x99, 0x66, 0x33));
    const QColor greyed = widget.palette().color(QPalette::Disabled, QPalette::WindowText);
    SetTextColor(widget, BgrColor(bgr::Red));
    EXPECT_EQ(widget.palette().color(QPalette::Inactive, QPalette::ButtonText), Qt::red);
    EXPECT_EQ(widget.palette().color(QPalette::Disabled, QPalette::WindowText), greyed);
    SetBackground(widget, BgrColor(bgr::Navy));
    EXPECT_TRUE(widget.autoFillBackground());
    EXPECT_EQ(widget.palette().color(QPalette::Window), QColor(0, 0, 0x80));
}

// The text colour of a form's control while enabled; disabled text keeps the style's grey.
void ExpectTextColour(const QWidget& page, const char* name, QPalette::ColorRole role,
                      std::uint32_t colour) {
    const auto* widget = page.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(widget, nullptr) << name;
    const QPalette& palette = widget->palette();
    EXPECT_EQ(palette.color(QPalette::Active, role), BgrColor(colour)) << name;
    EXPECT_EQ(palette.color(QPalette::Inactive, role), BgrColor(colour)) << name;
    EXPECT_NE(palette.color(QPalette::Disabled, role), BgrColor(colour)) << name;
}

TEST(Look, StaticColoursComeFromThePagesForms) {
    const TFramePort setup;
    ExpectTextColour(setup, "Label1", QPalette::WindowText, bgr::Teal);
    for (const char* name : {"Label4", "Label5", "Label6", "Label7"})
        ExpectTextColour(setup, name, QPalette::WindowText, bgr::Blue);
    ExpectTextColour(setup, "SpeedButtonOpenFile", QPalette::ButtonText, bgr::Blue);
    ExpectTextColour(setup, "SpeedButtonSaveFile", QPalette::ButtonText, bgr::Red);

    const TFrameAbout about;
    ExpectTextColour(about, "StaticText1", QPalette::WindowText, bgr::Red);
    ExpectTextColour(about, "StaticText2", QPalette::WindowText, bgr::Yellow);
    ExpectTextColour(about, "StaticText3", QPalette::WindowText, bgr::Aqua);
    ExpectTextColour(about, "StaticText4", QPalette::WindowText, bgr::Lime);
}

} // namespace
} // namespace ecu::test
