// The graphs page on its own: a stand-in setup page with the four graph boxes, the real
// page with its charts, boxes and scroll bar, values read back from the widgets.
#include "link/Decode.h"
#include "ui/TFrameGraph.h"
#include "ui/TextRules.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace {

using ecu::EngineData;
using ecu::TFrameGraph;

const char* const kBoxNames[] = {"EditDateRed", "EditDateLime", "EditDateBlue", "EditDateYellow"};

QString Text(double value) {
    return QString::fromStdString(ecu::FormatFixed(value, 6, 1));
}

class GraphPage : public ::testing::Test {
protected:
    GraphPage() {
        for (int n = 1; n <= 4; ++n) {
            auto* combo = new QComboBox(&setup);
            combo->setObjectName(QStringLiteral("ComboBoxGraph%1").arg(n));
            for (int i = 0; i < ecu::GraphChannelRowCount; ++i)
                combo->addItem(QString::number(i));
            combos[n - 1] = combo;
        }
        Choose(5, 0, 2, 3); // the start-up choice
        page.ResetGraphs(setup);
    }

    void Choose(int a, int b, int c, int d) {
        const int items[] = {a, b, c, d};
        for (int n = 0; n < 4; ++n)
            combos[n]->setCurrentIndex(items[n]);
    }

    // Values of the start-up channels for point i, different on every graph and point.
    static double Value(int n, int i) {
        switch (n) {
        case 1:
            return 10.0 * i; // engine speed
        case 2:
            return i - 40.0; // coolant
        case 3:
            return i + 0.5; // spark advance
        default:
            return 2.0 * i; // throttle
        }
    }
    void AddPoints(int count) {
        for (int k = 0; k < count; ++k) {
            const int i = page.GraphPointCount();
            engine.RPMengine = static_cast<std::int32_t>(Value(1, i));
            engine.TemperatureWater = Value(2, i);
            engine.UOZ = Value(3, i);
            engine.ThrottleAngle = Value(4, i);
            page.AddGraphPoints();
        }
    }
    void ExpectBoxesShowPoint(int i) {
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(Box(n).text(), Text(Value(n, i))) << "graph " << n << ", point " << i;
    }

    QCustomPlot& Chart(int n) {
        return *page.findChild<QCustomPlot*>(QStringLiteral("Graph%1").arg(n));
    }
    QCPGraph& Series(int n) {
        return *page.findChild<QCPGraph*>(QStringLiteral("Series%1").arg(n));
    }
    QLineEdit& Box(int n) { return *page.findChild<QLineEdit*>(kBoxNames[n - 1]); }
    QLabel& Label(int n) { return *page.findChild<QLabel*>(QStringLiteral("Label%1").arg(n)); }
    QFrame& Shape(int n) { return *page.findChild<QFrame*>(QStringLiteral("Shape%1").arg(n)); }
    QScrollBar& Scroll() { return *page.findChild<QScrollBar*>("ScrollBarAxisX"); }
    std::vector<double> Ys(int n) {
        std::vector<double> ys;
        for (const QCPGraphData& p : *Series(n).data())
            ys.push_back(p.value);
        return ys;
    }
    void ExpectBottomAxes(double lower, double upper) {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(Chart(n).xAxis->range().lower, lower) << "graph " << n;
            EXPECT_EQ(Chart(n).xAxis->range().upper, upper) << "graph " << n;
        }
    }

    EngineData engine;
    QWidget setup;
    std::array<QComboBox*, 4> combos{};
    TFrameGraph page{engine};
};

TEST_F(GraphPage, StartUpBindsLabelsAxesAndChannelsOfTheChosenItems) {
    EXPECT_EQ(Label(1).text(), QString::fromUtf8("оборотыДВС"));
    EXPECT_EQ(Label(2).text(), QString::fromUtf8("  Вода C  "));
    EXPECT_EQ(Label(3).text(), QString::fromUtf8("   УОЗ    "));
    EXPECT_EQ(Label(4).text(), QString::fromUtf8("Дроссель %"));
    const double left[][2] = {{0, 6000}, {-40, 150}, {0, 90}, {0, 100}};
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Chart(n).yAxis->range().lower, left[n - 1][0]);
        EXPECT_EQ(Chart(n).yAxis->range().upper, left[n - 1][1]);
        EXPECT_EQ(Chart(n).size(), QSize(546, 83));
        EXPECT_TRUE(Series(n).data()->isEmpty());
    }
    ExpectBottomAxes(0, 273);
    EXPECT_EQ(page.GraphPointCount(), 0);
    EXPECT_EQ(page.GraphWindow(), 273);
    EXPECT_EQ(page.GraphChannels()[0].Kind(), ecu::GraphKind::Int32);
    EXPECT_EQ(page.GraphChannels()[1].Kind(), ecu::GraphKind::Double);
    EXPECT_FALSE(Scroll().isEnabled());
    EXPECT_EQ(Scroll().maximum(), 250);
}

TEST_F(GraphPage, EachCallAddsOnePointPerGraphAndShowsTheValues) {
    engine.RPMengine = 6000;
    engine.TemperatureWater = -40;
    engine.UOZ = 12.34;
    engine.ThrottleAngle = 100;
    page.AddGraphPoints();
    EXPECT_EQ(Box(1).text(), "6000.0");
    EXPECT_EQ(Box(2).text(), " -40.0");
    EXPECT_EQ(Box(3).text(), "  12.3");
    EXPECT_EQ(Box(4).text(), " 100.0");
    EXPECT_EQ(page.GraphPointCount(), 1);

    AddPoints(9);
    for (int n = 1; n <= 4; ++n) {
        ASSERT_EQ(Series(n).dataCount(), 10);
        for (int i = 1; i < 10; ++i) {
            EXPECT_EQ(Series(n).data()->at(i)->key, i);
            EXPECT_EQ(Series(n).data()->at(i)->value, Value(n, i));
        }
    }
    ExpectBoxesShowPoint(9);
}

TEST_F(GraphPage, BottomAxesStandStillForTheFirst274PointsThenFollowTheNewest) {
    AddPoints(273);
    ExpectBottomAxes(0, 273);
    AddPoints(1); // x = 273
    ExpectBottomAxes(0, 273);
    AddPoints(1); // x = 274
    ExpectBottomAxes(1, 274);
    AddPoints(1000 - 275);
    ExpectBottomAxes(726, 999);
}

TEST_F(GraphPage, CursorReadsThePointUnderItWithFewPoints) {
    AddPoints(273); // x 0 to 272
    Scroll().setEnabled(true);
    const struct {
        int position;
        int point;
    } steps[] = {{1, 0}, {3, 1}, {2, 0}, {100, 49}, {0, 0}, {546, 272}};
    for (const auto& step : steps) {
        Scroll().setValue(step.position);
        ASSERT_EQ(Scroll().value(), step.position);
        EXPECT_EQ(Scroll().maximum(), 546);
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(Shape(n).pos(), QPoint(step.position, 1)) << "graph " << n;
        ExpectBoxesShowPoint(step.point);
    }
}

TEST_F(GraphPage, CursorReachesTheNewest274PointsButOne) {
    AddPoints(1000);
    Scroll().setValue(10); // the first scroll widens the bar to 0..546
    ExpectBoxesShowPoint(726 + 4);
    Scroll().setValue(546);
    ExpectBoxesShowPoint(998);
    Scroll().setValue(0);
    ExpectBoxesShowPoint(726);
}

TEST_F(GraphPage, CursorBeyondThePointsMovesAndLeavesTheBoxes) {
    AddPoints(10);
    Scroll().setValue(1);
    ExpectBoxesShowPoint(0);
    Scroll().setValue(22); // point 10 is not drawn yet
    ExpectBoxesShowPoint(0);
    Scroll().setValue(546);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(Shape(n).x(), 546);
    ExpectBoxesShowPoint(0);
    Scroll().setValue(20);
    ExpectBoxesShowPoint(9);
}

TEST_F(GraphPage, ResetEmptiesTheBoxesAndPutsTheCursorBack) {
    AddPoints(50);
    Scroll().setEnabled(true);
    Scroll().setValue(41);
    ExpectBoxesShowPoint(20);
    Choose(7, 0, 2, 3);
    page.ResetGraphs(setup);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Box(n).text(), QString()) << "graph " << n;
        EXPECT_EQ(Shape(n).pos(), QPoint(0, 1)) << "graph " << n;
    }
    EXPECT_EQ(Scroll().value(), 0);

    // The first point of the new channels is what the boxes show next.
    engine.Acc = 13.9;
    page.AddGraphPoints();
    EXPECT_EQ(Box(1).text(), Text(13.9));
}

// A step that leaves the bar where it was (the end arrow at the end) still reads the
// points now under the cursor: newer ones may have arrived since the last move.
TEST_F(GraphPage, AScrollStepThatDoesNotMoveReadsThePointsUnderTheCursorAgain) {
    page.show();
    AddPoints(300);
    Scroll().setEnabled(true);
    Scroll().setValue(1); // the first scroll widens the bar to 0..546
    Scroll().setValue(546);
    ExpectBoxesShowPoint(272 + 300 - 274);
    AddPoints(5); // the boxes now show the newest point, 304
    ExpectBoxesShowPoint(304);

    QStyleOptionSlider option;
    option.initFrom(&Scroll());
    option.orientation = Qt::Horizontal;
    option.minimum = Scroll().minimum();
    option.maximum = Scroll().maximum();
    option.sliderPosition = option.sliderValue = Scroll().value();
    option.singleStep = Scroll().singleStep();
    option.pageStep = Scroll().pageStep();
    const QRect arrow = Scroll().style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                         QStyle::SC_ScrollBarAddLine, &Scroll());
    ASSERT_TRUE(arrow.isValid());
    QTest::mouseClick(&Scroll(), Qt::LeftButton, {}, arrow.center());
    EXPECT_EQ(Scroll().value(), 546);
    ExpectBoxesShowPoint(272 + 305 - 274);
}

TEST_F(GraphPage, SameChannelOnTwoGraphsDrawsTheSameValues) {
    Choose(5, 5, 2, 5);
    page.ResetGraphs(setup);
    AddPoints(30);
    EXPECT_EQ(Ys(1), Ys(2));
    EXPECT_EQ(Ys(1), Ys(4));
    EXPECT_EQ(Box(2).text(), Box(1).text());
    EXPECT_EQ(Label(2).text(), Label(1).text());
}

TEST_F(GraphPage, DohcRunKeepsTheFieldsOnlySohcFillsConstant) {
    // Throttle angle, injection width and idle-air steps come only in SOHC answers.
    Choose(5, 3, 9, 10);
    page.ResetGraphs(setup);
    const std::uint8_t echo[] = {0xF4, 0x56, 0x01, 0xB5};
    ecu::ByteString sohc(echo, echo + 4);
    sohc.resize(4 + 43, 0x40);
    ASSERT_TRUE(ecu::DecodeFrame(sohc, engine, ecu::EngineVariant::Sohc));
    const EngineData afterSohc = engine;

    std::mt19937 random(7);
    for (int cycle = 0; cycle < 40; ++cycle) {
        ecu::ByteString dohc(echo, echo + 4);
        for (int i = 0; i < 26; ++i)
            dohc.push_back(static_cast<std::uint8_t>(random()));
        ASSERT_TRUE(ecu::DecodeFrame(dohc, engine, ecu::EngineVariant::Dohc));
        page.AddGraphPoints();
    }
    const std::vector<double> rpm = Ys(1);
    EXPECT_GT(std::set<double>(rpm.begin(), rpm.end()).size(), 10U);
    EXPECT_EQ(Ys(2), std::vector<double>(40, afterSohc.ThrottleAngle));
    EXPECT_EQ(Ys(3), std::vector<double>(40, afterSohc.INJwidth));
    EXPECT_EQ(Ys(4), std::vector<double>(40, static_cast<double>(afterSohc.AirControl)));
}

TEST_F(GraphPage, BoxWithoutItemClearsItsGraphButKeepsLabelAxisAndChannel) {
    AddPoints(300);
    Choose(6, 0, -1, 3);
    page.ResetGraphs(setup);
    EXPECT_EQ(page.GraphPointCount(), 0);
    ExpectBottomAxes(0, 273);
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(Series(n).data()->isEmpty()) << "graph " << n;
    EXPECT_EQ(Label(1).text(), QString::fromUtf8(" скорость "));
    EXPECT_EQ(Chart(1).yAxis->range().upper, 255);
    EXPECT_EQ(Label(3).text(), QString::fromUtf8("   УОЗ    "));
    EXPECT_EQ(Chart(3).yAxis->range().upper, 90);

    engine.Speed = 77;
    engine.UOZ = 21.5;
    page.AddGraphPoints();
    EXPECT_EQ(Series(1).data()->at(0)->value, 77);
    EXPECT_EQ(Series(3).data()->at(0)->value, 21.5); // still spark advance
    EXPECT_EQ(Series(1).data()->at(0)->key, 0);
}

TEST(GraphPageBinding, BindsOnlyBoxesMetInTheOrderOneToFour) {
    EngineData engine;
    engine.RPMengine = 800;
    QWidget setup;
    // Created 2, 1, 3, 4: box 2 comes before 1 is bound, so it is passed over, and the
    // walk then waits for a second "ComboBoxGraph2" that never comes.
    for (int n : {2, 1, 3, 4}) {
        auto* combo = new QComboBox(&setup);
        combo->setObjectName(QStringLiteral("ComboBoxGraph%1").arg(n));
        for (int i = 0; i < ecu::GraphChannelRowCount; ++i)
            combo->addItem(QString::number(i));
        combo->setCurrentIndex(5);
    }
    TFrameGraph page(engine);
    page.ResetGraphs(setup);
    EXPECT_EQ(page.GraphChannels()[0].Kind(), ecu::GraphKind::Int32);
    for (int n = 1; n < 4; ++n)
        EXPECT_EQ(page.GraphChannels()[n].Kind(), ecu::GraphKind::None);

    // Unbound graphs draw gaps, not made-up values.
    page.AddGraphPoints();
    EXPECT_EQ(page.findChild<QLineEdit*>("EditDateRed")->text(), " 800.0");
    EXPECT_EQ(page.findChild<QLineEdit*>("EditDateLime")->text(), "   nan");
    EXPECT_TRUE(std::isnan(page.findChild<QCPGraph*>("Series2")->data()->at(0)->value));
    EXPECT_EQ(page.GraphPointCount(), 1);
}

TEST_F(GraphPage, ACycleRedrawsEachChartOnceAfterReturningToTheEventLoop) {
    QCoreApplication::processEvents();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int n = 1; n <= 4; ++n)
        spies.push_back(std::make_unique<QSignalSpy>(&Chart(n), &QCustomPlot::afterReplot));
    AddPoints(3);
    for (auto& spy : spies)
        EXPECT_EQ(spy->count(), 0);
    QCoreApplication::processEvents();
    for (auto& spy : spies)
        EXPECT_EQ(spy->count(), 1);
}

class GraphPicture : public GraphPage {
protected:
    GraphPicture() {
        // Level lines across the middle of each chart's range.
        engine.RPMengine = 3000;
        engine.TemperatureWater = 55;
        engine.UOZ = 45;
        engine.ThrottleAngle = 50;
        for (int i = 0; i < 300; ++i)
            page.AddGraphPoints();
        page.SetErrorReporter([this](const QString& text) { errors << text; });
    }
    QAction* SaveAction(int chart) {
        for (QAction* action : Chart(chart).actions())
            if (action->text() == QString::fromUtf8("Сохранить графики…"))
                return action;
        return nullptr;
    }
    // Pixels close to `colour` inside `area` of the picture, in page coordinates; lines are
    // drawn without antialiasing, text with it.
    static int CountColour(const QImage& image, const QRect& area, const QColor& colour,
                           int tolerance = 0) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                if (!image.valid(x, y))
                    continue;
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - colour.red()) <= tolerance &&
                    std::abs(c.green() - colour.green()) <= tolerance &&
                    std::abs(c.blue() - colour.blue()) <= tolerance)
                    ++count;
            }
        return count;
    }
    QTemporaryDir dir{QDir::tempPath() + "/graphs-XXXXXX"};
    QStringList errors;
};

TEST_F(GraphPicture, ContextMenuSavesChartsLabelsAndBoxesAsOnePng) {
    const QString path = dir.filePath("trip.png");
    QString suggested;
    page.SetRecordingName(dir.filePath("trip.bin"));
    page.SetSaveFileChooser([&](const QString& s) -> std::optional<QString> {
        suggested = s;
        return path;
    });
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Chart(n).contextMenuPolicy(), Qt::ActionsContextMenu);
        ASSERT_NE(SaveAction(n), nullptr);
    }
    SaveAction(3)->trigger();
    EXPECT_EQ(suggested, path);
    EXPECT_TRUE(errors.isEmpty());

    const QImage image(path, "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 546 + Label(1).width());
    EXPECT_LT(image.height(), Scroll().y() + 1); // the scroll bar is not part of it
    const QColor lines[] = {Qt::red, QColor(0, 255, 0), Qt::blue, Qt::yellow};
    for (int n = 1; n <= 4; ++n) {
        const QPoint origin = Chart(n).mapTo(&page, QPoint(0, 0));
        const QRect middle(origin.x() + 10, origin.y() + 83 / 2 - 3, 500, 7);
        EXPECT_GE(CountColour(image, middle, lines[n - 1]), 900) << "graph " << n;
        EXPECT_GT(CountColour(image, Label(n).geometry(), Qt::blue, 96), 10) << "label " << n;
    }
    // The boxes' digits in their own colours: lime in the third one, not blue.
    EXPECT_GT(CountColour(image, Box(3).geometry(), QColor(0, 255, 0), 64), 20);
    EXPECT_EQ(CountColour(image, Box(3).geometry(), Qt::blue, 64), 0);
    EXPECT_GT(CountColour(image, Box(4).geometry(), Qt::yellow, 64), 20);
}

// The charts carry no tick values: white digits across an 83-pixel plot hid the lines
// they crossed. Only the lines, the grid and the cursor are drawn on the grey.
TEST_F(GraphPicture, ChartsDrawNoTickValues) {
    const QImage image = page.GraphsPicture();
    for (int n = 1; n <= 4; ++n) {
        const QRect chart(Chart(n).mapTo(&page, QPoint(0, 0)), Chart(n).size());
        EXPECT_EQ(CountColour(image, chart, Qt::white, 48), 0) << "graph " << n;
        EXPECT_EQ(Chart(n).xAxis->label(), QString());
        EXPECT_EQ(Chart(n).yAxis->label(), QString());
    }
}

TEST_F(GraphPicture, CancelledOrFailedSavesLeaveNoFile) {
    page.SetSaveFileChooser([](const QString&) { return std::nullopt; });
    SaveAction(1)->trigger();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    const QString bad = dir.filePath("missing/graphs.png");
    page.SetSaveFileChooser([&](const QString&) -> std::optional<QString> { return bad; });
    SaveAction(1)->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(bad));
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(GraphPicture, DefaultNameFollowsTheRecordingOrTheDate) {
    const QString name = page.DefaultPictureName();
    EXPECT_TRUE(name.startsWith(QDir::homePath()));
    EXPECT_TRUE(name.contains(QDate::currentDate().toString("yyyy-MM-dd")));
    EXPECT_TRUE(name.endsWith(".png"));

    page.SetRecordingName("/data/runs/morning.run.bin");
    EXPECT_EQ(page.DefaultPictureName(), "/data/runs/morning.run.png");

    page.SetSaveFileChooser(
        [&](const QString&) -> std::optional<QString> { return dir.filePath("no-suffix"); });
    SaveAction(2)->trigger();
    EXPECT_TRUE(QFile::exists(dir.filePath("no-suffix.png")));
}

} // namespace
