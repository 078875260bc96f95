// The look helper and the looks the forms carry: every glyph the program ships comes as a pair
// under one naming rule, a disabled button shows the drawn disabled picture rather than the
// toolkit's greyed copy, and static colours come from the pages' forms.
#include "app/TFrameAbout.h"
#include "ui/TFramePort.h"
#include "ui/WidgetLook.h"

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

TEST(Look, EveryGlyphShowsItsOwnDrawnPictureInBothStates) {
    for (const char* path :
         {":/glyphs/start", ":/glyphs/stop", ":/glyphs/parameter/reset_ecu",
          ":/glyphs/parameter/fault_list", ":/glyphs/control/checkengie",
          ":/glyphs/control/carlson", ":/glyphs/control/cleardtc", ":/glyphs/control/rezetblm"}) {
        SCOPED_TRACE(path);
        const QString base = QString::fromLatin1(path);
        const QImage normal(base + QStringLiteral(".png"));
        const QImage disabled(base + QStringLiteral("-disabled.png"));
        ASSERT_EQ(normal.size(), QSize(16, 16));
        ASSERT_EQ(disabled.size(), QSize(16, 16));
        const QIcon icon = TwoStateGlyph(base);
        EXPECT_EQ(Argb(icon.pixmap(16, 16, QIcon::Normal).toImage()), Argb(normal));
        EXPECT_EQ(Argb(icon.pixmap(16, 16, QIcon::Disabled).toImage()), Argb(disabled));
        EXPECT_NE(Argb(normal), Argb(disabled));
    }
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
