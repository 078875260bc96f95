// Texts and bars of the parameters page after real decoding of encoded answers.
#include "PageFixture.h"

#include <QPushButton>
#include <QSignalSpy>

#include <string>
#include <vector>

namespace ecu::test {
namespace {

TEST_F(ParameterPage, TemperaturesRoundHalvesAwayFromZeroAndBarsShowTheRawByte) {
    struct Case {
        double celsius;
        int raw;
        const char* text;
    };
    for (const Case c :
         {Case{-39.25, 1, "-39.3"}, Case{-0.25, 53, " -0.3"}, Case{1.25, 55, "  1.3"},
          Case{151.25, 255, "151.3"}, Case{-40, 0, "-40.0"}, Case{20, 80, " 20.0"}}) {
        SimEngine engine;
        engine.coolantC = c.celsius;
        engine.intakeAirC = c.celsius;
        Show(engine);
        EXPECT_EQ(Text("EditTemperatureWater"), QString::fromLatin1(c.text)) << c.celsius;
        EXPECT_EQ(Text("EditTemperatureAir"), QString::fromLatin1(c.text)) << c.celsius;
        EXPECT_EQ(Bar("ProgressBarTemperatureWater"), c.raw) << c.celsius;
        EXPECT_EQ(Bar("ProgressBarTemperatureAir"), c.raw) << c.celsius;
    }
}

TEST_F(ParameterPage, SpeedsAndIdentifierTexts) {
    SimEngine engine;
    engine.promId = 0x1234;
    engine.rpm = 12.5; // engine byte 1 (25 rpm), the ECU's calculated speed byte 2 (12.5 rpm)
    engine.idleTargetRpm = 6.25 * 255;
    Show(engine);
    EXPECT_EQ(Text("EditPromID"), "4660");
    EXPECT_EQ(Text("EditRPMdesired"), " 13");
    EXPECT_EQ(Text("EditRPMdesiredIDLE"), "1594"); // wider than its field, never cut
    EXPECT_EQ(Text("EditRPMengine"), "25");
    EXPECT_EQ(Bar("ProgressBarRPMengine"), 1);

    engine.rpm = 6375;
    Show(engine);
    EXPECT_EQ(Text("EditRPMengine"), "6375");
    EXPECT_EQ(Bar("ProgressBarRPMengine"), 255);
    EXPECT_EQ(Text("EditRPMdesired"), "1594");
}

TEST_F(ParameterPage, EveryValueInItsFormat) {
    SimEngine engine;
    engine.throttlePct = 40; // byte 102: 40 %
    engine.tpsVolts = 2.04;  // byte 102
    engine.mapVolts = 1.2;   // byte 60
    engine.baroKPa = 101;
    engine.vacuumKPa = 65;
    engine.rpm = 3000; // byte 120; period 1311 units: 20.0 ms, 49 whole turns a second
    engine.speedKmh = 87;
    engine.batteryVolts = 13.8;
    engine.o2mV = 450;        // byte 101: 448.9 mV
    engine.injectionMs = 2.5; // 164 units: 2.5025 ms
    engine.airFuelRatio = 14.7;
    engine.advanceDeg = 12; // byte 34: Int(11.9 + 0.5) = 12
    engine.iacSteps = 31;
    engine.iacDesiredSteps = 35;
    engine.faultByte1 = 0x0A;
    engine.faultByte2 = 0x5F;
    Show(engine);
    const std::vector<std::pair<const char*, const char*>> expected{
        {"EditThrottleAngle", " 40"},
        {"EditThrottlePosition", "2.0"},
        {"EditMapV", "1.20"},
        {"EditMAPbar", " 65"},
        {"EditBaro", "101"},
        {"EditRPMengine", "3000"},
        {"EditRPMsec", "49"},
        {"EditRPMperiod", "20.0"},
        {"EditSpeed", "87"},
        {"EditAcc", "13.8"},
        {"EditOxygenSensor", "449"},
        {"EditError", "0A5F"},
        {"EditINJwidth", " 2.5"},
        {"EditAirControl", "31"},
        {"EditAirControlDesired", "35"},
        {"EditUOZ", "12"},
        {"EditFuelAirRatio", "14.70"},
    };
    for (const auto& [edit, text] : expected)
        EXPECT_EQ(Text(edit), QString::fromLatin1(text)) << edit;
    EXPECT_EQ(Bar("ProgressBarThrottleAngle"), 102);
    EXPECT_EQ(Bar("ProgressBarThrottlePosition"), 102);
    EXPECT_EQ(Bar("ProgressBarUOZ"), 34);
    EXPECT_EQ(Bar("ProgressBarRPMengine"), 120);
    for (auto* bar : page->findChildren<QProgressBar*>())
        EXPECT_TRUE(bar->updatesEnabled()) << bar->objectName().toStdString();
}

TEST_F(ParameterPage, RunTimeAsHoursAndMinutes) {
    for (const auto& [seconds, text] :
         std::vector<std::pair<double, const char*>>{{0, "00:00"},
                                                     {59, "00:00"},
                                                     {60, "00:01"},
                                                     {3599, "00:59"},
                                                     {3600, "01:00"},
                                                     {36000, "10:00"},
                                                     {65535, "18:12"}}) {
        SimEngine engine;
        engine.runSeconds = seconds;
        Show(engine);
        EXPECT_EQ(Text("EditTimer"), QString::fromLatin1(text)) << seconds;
    }
}

// The DOHC answer does not carry these values: a fresh run shows their zero texts, and after
// an SOHC frame they keep its texts.
TEST_F(ParameterPage, DohcKeepsTheValuesItDoesNotCarry) {
    const std::vector<std::pair<const char*, const char*>> zeros{
        {"EditThrottleAngle", "  0"},   {"EditRPMsec", "0"},
        {"EditRPMperiod", "0.0"},       {"EditINJwidth", " 0.0"},
        {"EditAirControlDesired", "0"}, {"EditAirControl", "0"},
        {"EditRPMdesired", "  0"},      {"EditRPMdesiredIDLE", "  0"},
        {"EditTimer", "00:00"},         {"EditFuelAirRatio", " 0.00"},
    };
    SimEngine engine;
    engine.throttlePct = 40;
    engine.runSeconds = 600;
    engine.coolantC = 90.5; // byte 174 after rounding: 90.5 °C
    Show(engine, EngineVariant::Dohc);
    for (const auto& [edit, text] : zeros)
        EXPECT_EQ(Text(edit), QString::fromLatin1(text)) << edit;
    EXPECT_EQ(Bar("ProgressBarThrottleAngle"), 0);
    EXPECT_EQ(Text("EditTemperatureWater"), " 90.5");
    EXPECT_EQ(Text("EditRPMengine"), "850");

    Show(engine, EngineVariant::Sohc);
    const QString sohcTimer = Text("EditTimer");
    const QString sohcRatio = Text("EditFuelAirRatio");
    EXPECT_EQ(sohcTimer, "00:10");
    engine.rpm = 2000;
    engine.runSeconds = 1200;
    Show(engine, EngineVariant::Dohc);
    EXPECT_EQ(Text("EditRPMengine"), "2000");
    EXPECT_EQ(Text("EditTimer"), sohcTimer);
    EXPECT_EQ(Text("EditFuelAirRatio"), sohcRatio);
    EXPECT_EQ(Text("EditThrottleAngle"), " 40");
    EXPECT_EQ(Bar("ProgressBarThrottleAngle"), 102);
}

TEST_F(ParameterPage, BeforeTheFirstCycleOnlyTheFixedEditsHaveText) {
    for (auto* edit : page->findChildren<QLineEdit*>()) {
        const QString name = edit->objectName();
        if (name == "EditFuelIntegrator" || name == "EditBlockLearn" ||
            name == "EditBlockLearnCell")
            EXPECT_EQ(edit->text(), "128") << name.toStdString();
        else
            EXPECT_TRUE(edit->text().isEmpty()) << name.toStdString();
        EXPECT_TRUE(edit->isReadOnly()) << name.toStdString();
    }
    for (auto* bar : page->findChildren<QProgressBar*>()) {
        EXPECT_EQ(bar->value(), 0);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 255);
        EXPECT_FALSE(bar->isTextVisible());
    }
    EXPECT_EQ(page->findChildren<QProgressBar*>().size(), 6);

    SimEngine engine;
    engine.rpm = 6375;
    Show(engine);
    EXPECT_EQ(Text("EditFuelIntegrator"), "128");
    EXPECT_EQ(Text("EditBlockLearn"), "128");
    EXPECT_EQ(Text("EditBlockLearnCell"), "128");
}

// A text is written only when it changes: a selection made by hand survives a cycle that
// leaves its edit's text as it is, and only the edits whose values moved are rewritten.
TEST_F(ParameterPage, UnchangedTextsAreNotRewritten) {
    SimEngine engine;
    engine.runSeconds = 100;
    Show(engine);
    const auto edits = page->findChildren<QLineEdit*>();
    std::vector<int> changes(static_cast<std::size_t>(edits.size()), 0);
    for (qsizetype i = 0; i < edits.size(); ++i) {
        edits[i]->selectAll();
        QObject::connect(edits[i], &QLineEdit::textChanged,
                         [&changes, i] { ++changes[static_cast<std::size_t>(i)]; });
    }
    page->ShowParameters();
    Show(engine);
    for (qsizetype i = 0; i < edits.size(); ++i) {
        EXPECT_TRUE(edits[i]->text().isEmpty() || edits[i]->hasSelectedText())
            << edits[i]->objectName().toStdString();
    }

    engine.coolantC = 85;
    engine.runSeconds = 200;
    Show(engine);
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const QString name = edits[i]->objectName();
        const bool moved = name == "EditTemperatureWater" || name == "EditTimer";
        EXPECT_EQ(edits[i]->hasSelectedText(), !moved && !edits[i]->text().isEmpty())
            << name.toStdString();
        EXPECT_EQ(changes[static_cast<std::size_t>(i)], moved ? 1 : 0) << name.toStdString();
    }
}

TEST_F(ParameterPage, ResetButtonAsksForTheReset) {
    QSignalSpy spy(page.get(), &TFrameParameter::ResetEcuRequested);
    auto* button = page->findChild<QPushButton*>("BitBtnRezetECU");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Сброс ЭБУ");
    button->click();
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
} // namespace ecu::test
