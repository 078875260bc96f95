// The fault word's list: its lines, their order, and the panel that shows a snapshot of it.
#include "PageFixture.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

namespace ecu::test {
namespace {

class FaultList : public ParameterPage {
protected:
    QFrame* Panel() const { return page->findChild<QFrame*>("PanelErrorWord"); }
    QPlainTextEdit* Memo() const { return page->findChild<QPlainTextEdit*>("MemoErrorWord"); }

    QStringList Lines() const {
        const QString text = Memo()->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }

    void ClickFaultButton() {
        auto* button = page->findChild<QToolButton*>("SpeedButtonError");
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void Faults(std::uint8_t byte1, std::uint8_t byte2) {
        SimEngine engine;
        engine.faultByte1 = byte1;
        engine.faultByte2 = byte2;
        Show(engine);
    }
};

const QStringList kAllFaults{
    "Код 42 - Цепь управления зажиганием",
    "Код 33 - МАР сенсор",
    "Код 32 - Отказ системы рециркуляции",
    "Код 24 - Ошибка датчика скорости",
    "Код 23 - Ошибка датчика температуры воздуха",
    "Код 21 - Ошибка датчика положения дросселя",
    "Код 14 - Ошибка датчика температуры охлаждающей жидкости",
    "Код 13 - Обрыв цепи датчика кислорода",
    "Неидентифицированная пока ошибка 01Н ",
    "Неидентифицированная пока ошибка 02Н ",
    "Неидентифицированная пока ошибка 04Н ",
    "Неидентифицированная пока ошибка 08Н ",
    "Неидентифицированная пока ошибка 10Н ",
    "Неидентифицированная пока ошибка 20Н ",
    "Неидентифицированная пока ошибка 40Н ",
    "Неидентифицированная пока ошибка 80Н ",
};

bool HasLatinLetter(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    });
}

TEST_F(FaultList, LinesInBitOrderFirstByteFirst) {
    Faults(0xFF, 0xFF);
    page->ShowFaultList();
    EXPECT_EQ(Lines(), kAllFaults);
    // Cyrillic letters throughout, so that the texts match the ECU's documentation.
    for (const QString& line : Lines())
        EXPECT_FALSE(HasLatinLetter(line)) << line.toStdString();

    for (int bit = 0; bit < 16; ++bit) {
        Memo()->clear();
        Faults(static_cast<std::uint8_t>(bit < 8 ? 1 << bit : 0),
               static_cast<std::uint8_t>(bit < 8 ? 0 : 1 << (bit - 8)));
        page->ShowFaultList();
        EXPECT_EQ(Lines(), QStringList{kAllFaults[bit]}) << bit;
    }
}

TEST_F(FaultList, ChosenFaultWords) {
    Faults(0x81, 0x00);
    page->ShowFaultList();
    EXPECT_EQ(Lines(), (QStringList{kAllFaults[0], kAllFaults[7]}));

    Memo()->clear();
    Faults(0x00, 0x02);
    page->ShowFaultList();
    EXPECT_EQ(Lines(), QStringList{"Неидентифицированная пока ошибка 02Н "});

    Memo()->clear();
    Faults(0x00, 0x00);
    page->ShowFaultList();
    EXPECT_EQ(Lines(), QStringList{"Ошибки отсутствуют"});

    // The list is appended to, not replaced.
    page->ShowFaultList();
    EXPECT_EQ(Lines(), (QStringList{"Ошибки отсутствуют", "Ошибки отсутствуют"}));
}

TEST_F(FaultList, ButtonShowsASnapshotAndHidingEmptiesIt) {
    ASSERT_NE(Panel(), nullptr);
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_TRUE(Lines().isEmpty());
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));

    Faults(0x81, 0x00);
    ClickFaultButton();
    EXPECT_TRUE(Panel()->isVisible());
    EXPECT_EQ(Lines(), (QStringList{kAllFaults[0], kAllFaults[7]}));

    // Later cycles update the fault word but not the open list.
    Faults(0x00, 0x00);
    EXPECT_EQ(page->findChild<QLineEdit*>("EditError")->text(), "0000");
    EXPECT_EQ(Lines(), (QStringList{kAllFaults[0], kAllFaults[7]}));

    ClickFaultButton();
    EXPECT_FALSE(Panel()->isVisible());
    EXPECT_TRUE(Memo()->toPlainText().isEmpty());

    ClickFaultButton();
    EXPECT_TRUE(Panel()->isVisible());
    EXPECT_EQ(Lines(), QStringList{"Ошибки отсутствуют"});
}

// The page may sit on a tab that is not shown; the button still toggles the list.
TEST_F(FaultList, ButtonWorksWhileThePageIsNotShown) {
    Faults(0x08, 0x00);
    page->SpeedButtonErrorClick();
    EXPECT_FALSE(Panel()->isHidden());
    EXPECT_EQ(Lines(), QStringList{kAllFaults[3]});
    page->SpeedButtonErrorClick();
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_TRUE(Lines().isEmpty());
}

} // namespace
} // namespace ecu::test
