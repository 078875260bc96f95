// The control page's handlers edit the frame at the layout's positions and send
// nothing; its refresh shows the engine values and keeps the user's own choices.
#include "PageFixture.h"

#include <QAccessible>

#include <functional>
#include <string>
#include <utility>

namespace ecu::testing {
namespace {

class PageHandlers : public PageTest, public ::testing::WithParamInterface<EngineVariant> {
protected:
    PageHandlers() : PageTest(GetParam()) {}
};

TEST_P(PageHandlers, TogglesSetAndClearBothOutputCopiesAndColourTheirPanels) {
    const QColor red = BgrColor(bgr::Red);
    const QColor grey = BgrColor(bgr::Gray);
    Click("SpeedButtonCheckEngie");
    EXPECT_TRUE(Get<QToolButton>("SpeedButtonCheckEngie")->isChecked());
    EXPECT_EQ(frame.Bytes, With({{4, 0x01}, {5, 0x01}}));
    EXPECT_EQ(PanelColour("PanelCheckEngie"), red);
    EXPECT_EQ(PanelColour("PanelCarlson"), grey);

    Click("SpeedButtonCarlson");
    EXPECT_EQ(frame.Bytes, With({{4, 0x03}, {5, 0x03}}));
    EXPECT_EQ(PanelColour("PanelCarlson"), red);

    Click("SpeedButtonCheckEngie"); // up again: off, "Carlson" stays
    EXPECT_FALSE(Get<QToolButton>("SpeedButtonCheckEngie")->isChecked());
    EXPECT_EQ(frame.Bytes, With({{4, 0x02}, {5, 0x02}}));
    EXPECT_EQ(PanelColour("PanelCheckEngie"), grey);
    EXPECT_EQ(PanelColour("PanelCarlson"), red);

    Click("SpeedButtonCarlson");
    EXPECT_EQ(frame.Bytes, ControlFrameDefault);
    EXPECT_EQ(PanelColour("PanelCarlson"), grey);
}

// However a switch is turned, its panel and the frame follow: a click, the keyboard,
// or an assistive tool's toggle (which emits no click). Leaving the page releases it
// without counting as an edit: the session restores the whole frame then.
TEST_P(PageHandlers, SwitchPanelAndFrameAgreeHoweverTheSwitchIsTurned) {
    using Turn = std::function<void(QToolButton*)>;
    const std::pair<const char*, Turn> ways[] = {
        {"mouse", [](QToolButton* b) { QTest::mouseClick(b, Qt::LeftButton); }},
        {"keyboard",
         [](QToolButton* b) {
             b->setFocus();
             QTest::keyClick(b, Qt::Key_Space);
         }},
        {"accessibility", [](QToolButton* b) {
             QAccessibleInterface* item = QAccessible::queryAccessibleInterface(b);
             ASSERT_TRUE(item && item->actionInterface());
             item->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
         }}};
    const struct {
        const char* button;
        const char* panel;
        ControlBytes on;
    } switches[] = {{"SpeedButtonCheckEngie", "PanelCheckEngie", With({{4, 0x01}, {5, 0x01}})},
                    {"SpeedButtonCarlson", "PanelCarlson", With({{4, 0x02}, {5, 0x02}})}};
    for (const auto& [way, turn] : ways) {
        for (const auto& sw : switches) {
            SCOPED_TRACE(std::string(sw.button) + " by " + way);
            auto* button = Get<QToolButton>(sw.button);
            turn(button);
            EXPECT_TRUE(button->isChecked());
            EXPECT_EQ(frame.Bytes, sw.on);
            EXPECT_EQ(PanelColour(sw.panel), BgrColor(bgr::Red));
            turn(button);
            EXPECT_FALSE(button->isChecked());
            EXPECT_EQ(frame.Bytes, ControlFrameDefault);
            EXPECT_EQ(PanelColour(sw.panel), BgrColor(bgr::Gray));

            turn(button);
            page->ControlPageOff();
            EXPECT_FALSE(button->isChecked());
            EXPECT_EQ(PanelColour(sw.panel), BgrColor(bgr::Gray));
            EXPECT_EQ(frame.Bytes, sw.on) << "leaving is no edit";
            frame.Bytes = ControlFrameDefault; // as the session restores it
        }
    }
}

TEST_P(PageHandlers, CommandButtonsSetTheirBitsOnceAndOnlyLeavingClearsThem) {
    Click("BitBtnClearDTC");
    EXPECT_EQ(frame.Bytes, With({{6, 0x40}}));
    Click("BitBtnRezetBLM");
    Click("BitBtnClearDTC");
    Click("BitBtnRezetBLM");
    EXPECT_EQ(frame.Bytes, With({{6, 0x50}}));
    // The page's half of leaving does not touch the frame: the session restores it.
    page->ControlPageOff();
    EXPECT_EQ(frame.Bytes, With({{6, 0x50}}));
}

TEST_P(PageHandlers, IacTargetAndCancelFollowTheBar) {
    QSlider* bar = Bar("TrackBarIACDesired");
    auto* start = Get<QPushButton>("ButtonIACStart");
    EXPECT_FALSE(start->isEnabled());
    Drag(bar, 120);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(page->IacEditing());
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора- 120"));
    EXPECT_EQ(frame.Bytes, ControlFrameDefault) << "moving the bar commands nothing";

    Click("ButtonIACStart");
    EXPECT_EQ(frame.Bytes, With({{10, 0x01}, {11, 0x78}}));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(page->IacEditing());

    QTest::keyClick(bar, Qt::Key_End); // the user moves on: the target waits for the button
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора- 255"));
    auto* label = Get<QLabel>("LabelPos");
    EXPECT_GE(label->width(), label->sizeHint().width()) << "the label grows with its text";
    EXPECT_EQ(label->pos(), QPoint(81, 34));
    EXPECT_EQ(frame.Bytes, With({{10, 0x01}, {11, 0x78}}));
    Click("ButtonIACStart");
    EXPECT_EQ(frame.Bytes, With({{10, 0x01}, {11, 0xFF}}));

    Click("ButtonStopIAC");
    EXPECT_EQ(frame.Bytes, ControlFrameDefault);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(page->IacEditing());
}

INSTANTIATE_TEST_SUITE_P(BothVariants, PageHandlers,
                         ::testing::Values(EngineVariant::Sohc, EngineVariant::Dohc),
                         [](const auto& info) { return VariantName(info.param); });

using PageLayout = PageTest;

TEST_F(PageLayout, EditsGoWhereTheLayoutSaysAndNowhereWithoutOne) {
    layout = {7, 9, 12, 2, 13}; // a layout of another ECU
    Click("SpeedButtonCheckEngie");
    Click("BitBtnRezetBLM");
    Drag(Bar("TrackBarIACDesired"), 33);
    Click("ButtonIACStart");
    EXPECT_EQ(frame.Bytes, With({{2, 0x01}, {7, 0x01}, {9, 0x01}, {12, 0x10}, {13, 33}}));

    frame.Restore();
    layout = {}; // the page was never shown
    Click("SpeedButtonCarlson");
    Click("BitBtnClearDTC");
    Click("ButtonIACStart");
    Click("ButtonStopIAC");
    EXPECT_EQ(frame.Bytes, ControlFrameDefault);
}

class PageRefresh : public PageTest {};

TEST_F(PageRefresh, EditsStartEmptyAndShowTheValuesWithTheirWidths) {
    for (const char* name : {"EditIACDesired", "EditRPMIAC", "EditUOZDesired", "EditFuelAirRatio"})
        EXPECT_TRUE(Text(name).isEmpty()) << name;
    page->ControlPageRefresh();
    EXPECT_EQ(Text("EditIACDesired"), T("0"));
    EXPECT_EQ(Text("EditRPMIAC"), T("0"));
    EXPECT_EQ(Text("EditUOZDesired"), T(" 0"));
    EXPECT_EQ(Text("EditFuelAirRatio"), T(" 0.00"));

    struct Case {
        double uoz;
        double ratio;
        const char* uozText;
        const char* ratioText;
    };
    for (const Case& c : {Case{9.4, 9.5, " 9", " 9.50"}, Case{12.5, 14.7, "13", "14.70"},
                          Case{-2.5, 123.456, "-3", "123.46"}, Case{105, 0.004, "105", " 0.00"}}) {
        engine.UOZ = c.uoz;
        engine.FuelAirRatio = c.ratio;
        page->ControlPageRefresh();
        EXPECT_EQ(Text("EditUOZDesired"), T(c.uozText)) << c.uoz;
        EXPECT_EQ(Text("EditFuelAirRatio"), T(c.ratioText)) << c.ratio;
    }

    engine.AirControl = 255;
    engine.RPMengine = 12750;
    QTest::keyClicks(Get<QLineEdit>("EditRPMIAC"), "999"); // typed text is never read
    page->ControlPageRefresh();
    EXPECT_EQ(Text("EditIACDesired"), T("255"));
    EXPECT_EQ(Text("EditRPMIAC"), T("12750"));
}

TEST_F(PageRefresh, IacBarFollowsTheEcuUntilTheUserMovesItAndAgainAfterCancel) {
    QSlider* bar = Bar("TrackBarIACDesired");
    auto* start = Get<QPushButton>("ButtonIACStart");
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора-"));
    for (const std::uint8_t step : {40, 255, 0, 87}) {
        engine.AirControl = step;
        page->ControlPageRefresh();
        EXPECT_EQ(bar->value(), step);
        EXPECT_EQ(LabelText("LabelPos"), T("Позиция - ") + QString::number(step));
        EXPECT_FALSE(page->IacEditing()) << "the refresh's move is not the user's";
        EXPECT_FALSE(start->isEnabled());
    }

    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_TRUE(page->IacEditing());
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора- 86"));
    engine.AirControl = 30;
    page->ControlPageRefresh();
    EXPECT_EQ(bar->value(), 86);
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора- 86"));
    EXPECT_EQ(Text("EditIACDesired"), T("30")) << "the value box always follows";

    Click("ButtonStopIAC");
    EXPECT_EQ(bar->value(), 86) << "cancel itself moves nothing";
    page->ControlPageRefresh();
    EXPECT_EQ(bar->value(), 30);
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция - 30"));
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(PageRefresh, LeavingReleasesTheTogglesButKeepsTheUsersIacChoice) {
    Click("SpeedButtonCheckEngie");
    Click("SpeedButtonCarlson");
    Drag(Bar("TrackBarIACDesired"), 120);
    Click("ButtonIACStart");
    const ControlBytes edited = frame.Bytes;

    page->ControlPageOff();
    EXPECT_FALSE(Get<QToolButton>("SpeedButtonCheckEngie")->isChecked());
    EXPECT_FALSE(Get<QToolButton>("SpeedButtonCarlson")->isChecked());
    EXPECT_EQ(PanelColour("PanelCheckEngie"), BgrColor(bgr::Gray));
    EXPECT_EQ(PanelColour("PanelCarlson"), BgrColor(bgr::Gray));
    EXPECT_FALSE(Get<QPushButton>("ButtonIACStart")->isEnabled());
    EXPECT_EQ(frame.Bytes, edited) << "releasing the toggles runs no click handler";

    // Next visit: the bar stays where the user left it until "Отменить".
    frame.Restore();
    engine.AirControl = 50;
    page->ControlPageRefresh();
    EXPECT_TRUE(page->IacEditing());
    EXPECT_EQ(Bar("TrackBarIACDesired")->value(), 120);
    EXPECT_EQ(LabelText("LabelPos"), T("Позиция регулятора- 120"));
    EXPECT_FALSE(Get<QPushButton>("ButtonIACStart")->isEnabled());
    Drag(Bar("TrackBarIACDesired"), 121);
    EXPECT_TRUE(Get<QPushButton>("ButtonIACStart")->isEnabled());
}

TEST_F(PageRefresh, SparkBarFollowsTheByteAndTheMixtureBarIsNeverMoved) {
    QSlider* spark = Bar("TrackBarUOZDesired");
    QSlider* mixture = Bar("TrackBarFuelAirRatio");
    engine.UOZRaw = 200;
    engine.FuelAirRatio = 14.7;
    page->ControlPageRefresh();
    EXPECT_EQ(spark->value(), 200);
    EXPECT_EQ(mixture->value(), 0);

    Drag(spark, 10);
    Drag(mixture, 99);
    EXPECT_EQ(frame.Bytes, ControlFrameDefault);
    page->ControlPageRefresh();
    EXPECT_EQ(spark->value(), 200) << "the next cycle moves it back";
    EXPECT_EQ(mixture->value(), 99);
    EXPECT_FALSE(page->IacEditing());
}

} // namespace
} // namespace ecu::testing
