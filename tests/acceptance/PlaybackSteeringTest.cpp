// A playback the mechanic steers through the window: Stop, Start again, pause, steps,
// seeks on the footer's bar, the paces, and the export to CSV. Every record shown is
// checked against the independent decode of its bytes.
#include "ShownValues.h"
#include "WindowHarness.h"

#include "ChildProcess.h"
#include "Trip.h"
#include "serial/Comm32.h"
#include "session/FileSession.h"
#include "session/Playback.h"
#include "session/SessionState.h"
#include "ui/TFrameGraph.h"
#include "wire/Frames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <qcustomplot.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <vector>

namespace ecu::accept {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ReadFileBytes;

constexpr std::size_t kAnswer = 64; // SOHC
constexpr std::size_t kRecord = 4 + kAnswer;
constexpr std::size_t kChartPoints = 274;

std::string Str(const QString& s) {
    return s.toStdString();
}

class Steering : public wintest::WindowTest {
protected:
    std::string WriteTrip(const char* name, int records) {
        const std::string path = TempPath(name);
        test::WriteTrip(path, records);
        file_ = ReadFileBytes(path);
        return path;
    }

    // Working mode "Чтение данных из файла" is the start-up's; "Открыть" chooses path.
    void Open(const std::string& path) {
        dialogs.openAnswers.push_back(QString::fromStdString(path));
        Click("SpeedButtonOpenFile");
    }

    std::span<const std::uint8_t> Answer(std::size_t record) const {
        return std::span(file_).subspan(record * kRecord + 4, kAnswer);
    }

    // What the parameters page shows that the record does not.
    std::string ParametersDiff(std::size_t record) {
        ShownValues expect = ShownValues::Zero();
        expect.Apply(Answer(record), EngineVariant::Sohc);
        std::string diff;
        for (const auto& [name, text] : expect.texts) {
            const std::string path = "FrameParameter1/" + name;
            const QString shown = Find<QLineEdit>(path.c_str())->text();
            if (shown != text)
                diff += name + " '" + Str(shown) + "' not '" + Str(text) + "'; ";
        }
        for (const auto& [name, value] : expect.bars)
            if (Find<QProgressBar>(name.c_str())->value() != value)
                diff += name + " differs; ";
        return diff;
    }

    // The four charts hold exactly the points of records first..last, and the boxes show
    // the last.
    std::string GraphsDiff(std::size_t first, std::size_t last) {
        std::string diff;
        const char* charts[] = {"FrameGraph1/Graph1", "FrameGraph1/Graph2", "FrameGraph1/Graph3",
                                "FrameGraph1/Graph4"};
        std::vector<GraphValues> expect;
        for (std::size_t k = first; k <= last; ++k)
            expect.push_back(GraphValuesOf(Answer(k), EngineVariant::Sohc, {}));
        for (int n = 0; n < 4; ++n) {
            const auto data = Find<QCustomPlot>(charts[n])->graph(0)->data();
            const int size = static_cast<int>(expect.size());
            if (data->size() != size) {
                diff += std::string(charts[n]) + " has " + std::to_string(data->size()) + "; ";
                continue;
            }
            for (std::size_t i = 0; i < expect.size(); ++i) {
                const GraphValues& v = expect[i];
                const double want[] = {v.rpm, v.coolant, v.advance, v.throttle};
                if (data->at(static_cast<int>(i))->value != want[n])
                    diff += std::string(charts[n]) + " point " + std::to_string(i) + "; ";
            }
        }
        const auto& rpmBox = *Find<QLineEdit>("FrameGraph1/EditDateRed");
        if (rpmBox.text().trimmed().toDouble() != expect.back().rpm)
            diff += "rpm box " + Str(rpmBox.text()) + "; ";
        return diff;
    }

    Playback& Player() { return window->Ecu().Files().Player(); }
    QProgressBar& Bar() { return *Find<QProgressBar>("ProgressBarPlayFile"); }
    QString Label() { return Find<QLabel>("LabelNameFile")->text(); }
    void ClickBarAt(int x) {
        QTest::mouseClick(&Bar(), Qt::LeftButton, {}, QPoint(x, Bar().height() / 2));
    }
    // The record the bar says is shown: the bar counts the records played.
    std::size_t BarRecord() { return static_cast<std::size_t>(Bar().value()) - 1; }

    Bytes file_;
};

TEST_F(Steering, StopEndsWithinOneRecordAndStartPlaysAgainFromTheBeginning) {
    StartSim();
    TGlForm& w = CreateWindow();
    Open(WriteTrip("trip.bin", 300));
    ShowPage(PageParameters);

    int atStop = -1;
    When([this] { return Bar().value() >= 4; },
         [&] {
             atStop = Bar().value();
             PressKey(Qt::Key_Escape);
         });
    RunStart();
    EXPECT_FALSE(Player().Running());
    EXPECT_LE(Bar().value(), atStop + 1);
    EXPECT_EQ(ParametersDiff(BarRecord()), "");
    EXPECT_TRUE(w.Ecu().State().Flags.PlaybackArmed);
    EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin"));

    // Start again: from the first record, and Stop once more.
    std::vector<int> values;
    const auto seen =
        QObject::connect(&Bar(), &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    When([this] { return Bar().value() >= 2 && Bar().value() < 10; },
         [this] { Click("BitBtnStop"); });
    RunStart();
    QObject::disconnect(seen);
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 1);
    EXPECT_LT(values.back(), 10);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(Steering, ASecondStartPlaysFromTheBeginningWithoutASecondLoop) {
    StartSim();
    CreateWindow();
    const int records = 20;
    Open(WriteTrip("trip.bin", records));
    ShowPage(PageParameters);

    std::vector<int> values;
    QObject::connect(&Bar(), &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    bool returnedWhilePlaying = false;
    When([this] { return Bar().value() >= 5; },
         [&] {
             Click("BitBtnStart");
             returnedWhilePlaying = Player().Running();
         });
    RunStart();
    // The second Start's handler came back at once: there was one loop, started over.
    EXPECT_TRUE(returnedWhilePlaying);
    const auto restart = std::find(values.begin() + 1, values.end(), 0);
    ASSERT_NE(restart, values.end());
    std::vector<int> after(restart, values.end());
    std::vector<int> whole(records + 1);
    std::iota(whole.begin(), whole.end(), 0);
    EXPECT_EQ(after, whole);
    EXPECT_EQ(ParametersDiff(records - 1), "");
}

// Each step shows the record it lands on as a playback that reached it would.
TEST_F(Steering, PausedStepsHomeEndAndBarClicksShowExactlyTheirRecord) {
    StartSim();
    CreateWindow();
    const int records = 400;
    Open(WriteTrip("trip.bin", records));
    ShowPage(PageParameters);

    struct Move {
        const char* what;
        std::function<void()> act;
        std::function<std::size_t(std::size_t before)> lands;
    };
    const int left = Bar().contentsRect().left();
    const int right = Bar().contentsRect().right();
    const std::vector<Move> moves = {
        {"→", [this] { PressKey(Qt::Key_Right); }, [](std::size_t b) { return b + 1; }},
        {"→", [this] { PressKey(Qt::Key_Right); }, [](std::size_t b) { return b + 1; }},
        {"←", [this] { PressKey(Qt::Key_Left); }, [](std::size_t b) { return b - 1; }},
        {"End", [this] { PressKey(Qt::Key_End); }, [](std::size_t) { return records - 1; }},
        {"→ at the end", [this] { PressKey(Qt::Key_Right); }, [](std::size_t b) { return b; }},
        {"Home", [this] { PressKey(Qt::Key_Home); }, [](std::size_t) { return 0; }},
        {"← at the start", [this] { PressKey(Qt::Key_Left); }, [](std::size_t) { return 0; }},
        {"bar's right end", [=, this] { ClickBarAt(right); },
         [](std::size_t) { return records - 1; }},
        {"bar's left end", [=, this] { ClickBarAt(left); }, [](std::size_t) { return 0; }},
    };
    std::string failures;
    When([this] { return Bar().value() >= 3; },
         [&] {
             PressKey(Qt::Key_Space);
             EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin — пауза"));
             for (const Move& move : moves) {
                 const std::size_t expect = move.lands(*Player().Position());
                 move.act();
                 if (*Player().Position() != expect || BarRecord() != expect)
                     failures +=
                         std::string(move.what) + " stood on " + std::to_string(BarRecord()) + "; ";
                 const std::string diff = ParametersDiff(expect);
                 if (!diff.empty())
                     failures += std::string(move.what) + ": " + diff;
             }
             // The middle of the bar: the record the bar then reads, whatever rounding.
             ClickBarAt((left + right) / 2);
             EXPECT_NEAR(static_cast<double>(BarRecord()), records / 2.0, 2.0);
             EXPECT_EQ(*Player().Position(), BarRecord());
             EXPECT_EQ(ParametersDiff(BarRecord()), "");
             EXPECT_EQ(Player().RecordTip(Bar().value()),
                       QStringLiteral("Запись %1 из %2").arg(Bar().value()).arg(records));
             // Paused, nothing plays on.
             const int stood = Bar().value();
             test::PumpEvents(300);
             EXPECT_EQ(Bar().value(), stood);
             Click("BitBtnStop");
         });
    RunStart();
    EXPECT_EQ(failures, "");
    EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin"));
}

// Space pauses and resumes even on the Start button, which keeps the focus after its click;
// an open list and a text field keep the keys they move with.
TEST_F(Steering, SpaceOnTheFocusedStartPausesAndListsAndTextFieldsKeepTheirKeys) {
    StartSim();
    TGlForm& w = CreateWindow();
    Open(WriteTrip("trip.bin", 2000));
    ShowPage(PageSetup);
    Click("ButtonChange"); // the graph choices' lists can be opened
    QWidget* start = Find("BitBtnStart");
    auto* combo = Find<QComboBox>("ComboBoxGraph3");
    auto* edit = Find<QLineEdit>("FrameManager1/EditIACDesired");
    // A second Start, or a Home that reached the playback, takes the bar back.
    std::vector<int> values;
    QObject::connect(&Bar(), &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });

    QWidget* list = nullptr;
    const auto row = [&] { return combo->view()->currentIndex().row(); };
    const int lastRow = combo->count() - 1;
    struct Case {
        const char* what;
        std::function<QWidget*()> target; // the window the key is typed into
        Qt::Key key;
        std::function<bool()> done; // what the key did where it belongs
    };
    const std::vector<Case> cases = {
        {"Space on Старт", [&] { return &w; }, Qt::Key_Space, [&] { return Player().Paused(); }},
        {"↓ in the list", [&] { return list = OpenList("ComboBoxGraph3"); }, Qt::Key_Down,
         [&] { return row() == combo->currentIndex() + 1; }},
        {"End in the list", [&] { return list; }, Qt::Key_End, [&] { return row() == lastRow; }},
        {"Home in the list", [&] { return list; }, Qt::Key_Home, [&] { return row() == 0; }},
        {"Home in a text field",
         [&] {
             SystemKey(list, Qt::Key_Escape);
             ShowPage(PageControl);
             edit->setFocus();
             edit->setText(QStringLiteral("120"));
             edit->setCursorPosition(1);
             return &w;
         },
         Qt::Key_Home, [&] { return edit->cursorPosition() == 0; }},
        {"End in a text field", [&] { return &w; }, Qt::Key_End,
         [&] { return edit->cursorPosition() == 3; }},
        {"Space on Старт again",
         [&] {
             start->setFocus();
             return &w;
         },
         Qt::Key_Space, [&] { return !Player().Paused(); }},
    };
    std::string failures;
    int resumedAt = 0;
    When([this] { return Bar().value() >= 3; },
         [&] {
             EXPECT_TRUE(start->hasFocus()) << "the click on Start left the focus elsewhere";
             for (const Case& c : cases) {
                 QWidget* target = c.target();
                 const auto stood = Player().Position();
                 SystemKey(target, c.key);
                 if (!c.done())
                     failures += std::string(c.what) + " did nothing there; ";
                 if (stood != Player().Position())
                     failures += std::string(c.what) + " moved the playback; ";
             }
             resumedAt = Bar().value();
         });
    // Played on from where it stood, not from the beginning.
    When([&] { return resumedAt > 0 && Bar().value() >= resumedAt + 3; },
         [this] { Click("BitBtnStop"); });
    RunStart();
    EXPECT_EQ(failures, "");
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));

    // With no playback running, a focused button has its Space back.
    ShowPage(PageSetup);
    auto* change = Find<QAbstractButton>("ButtonChange");
    change->setFocus();
    QSignalSpy clicked(change, &QAbstractButton::clicked);
    SystemKey(&w, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(Steering, ASeekOnTheGraphsPageRefillsTheChartsUpToItsRecord) {
    StartSim();
    CreateWindow();
    const int records = 1000;
    Open(WriteTrip("trip.bin", records));
    ShowPage(PageGraphs);
    auto& graphs = *Find<TFrameGraph>("FrameGraph1");

    const int right = Bar().contentsRect().right();
    std::string failures;
    When([this] { return Bar().value() >= 2; },
         [&] {
             // Far on, then near the start where fewer than a chart's points lead to it.
             for (const int x : {right * 3 / 4, 2}) {
                 ClickBarAt(x);
                 const std::size_t at = BarRecord();
                 const std::size_t first = at + 1 >= kChartPoints ? at + 1 - kChartPoints : 0;
                 const std::string diff = GraphsDiff(first, at);
                 if (!diff.empty())
                     failures += "record " + std::to_string(at) + ": " + diff;
                 // The cursor stands on the newest point, where the charts draw it.
                 const int cursor = Find<QFrame>("FrameGraph1/Shape1")->x();
                 const int expect =
                     std::min<int>(static_cast<int>(at - first) * 2, TFrameGraph::CursorWidth - 1);
                 EXPECT_NEAR(cursor, expect, 1) << "record " << at;
                 EXPECT_EQ(graphs.GraphPointCount(), static_cast<int>(at + 1));
             }
             Click("BitBtnStop");
         });
    RunStart();
    EXPECT_EQ(failures, "");
    EXPECT_TRUE(Find<QScrollBar>("FrameGraph1/ScrollBarAxisX")->isEnabled());
}

// The paces are compared with each other in one run, never with the clock alone.
TEST_F(Steering, FasterPacesPlayFasterAndTheFastestStillDrawsEveryRecord) {
    StartSim();
    CreateWindow();
    const int records = 3000;
    Open(WriteTrip("trip.bin", records));
    ShowPage(PageGraphs);

    QElapsedTimer clock;
    double perRecordX1 = 0;
    double perRecordX4 = 0;
    int mark = 0;
    When([this] { return Bar().value() >= 1; },
         [&] {
             clock.start();
             mark = Bar().value();
         });
    When([this] { return Bar().value() >= 9; },
         [&] {
             perRecordX1 = static_cast<double>(clock.elapsed()) / (Bar().value() - mark);
             PressKey(Qt::Key_Plus);
             PressKey(Qt::Key_Plus);
             EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin ×4"));
             clock.start();
             mark = Bar().value();
         });
    When([this] { return Bar().value() >= 41; },
         [&] {
             perRecordX4 = static_cast<double>(clock.elapsed()) / (Bar().value() - mark);
             PressKey(Qt::Key_Plus);
             PressKey(Qt::Key_Plus);
             PressKey(Qt::Key_Plus); // beyond the fastest stays there
             EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin ×макс"));
             PressKey(Qt::Key_Minus);
             EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin ×10"));
             PressKey(Qt::Key_Plus);
         });
    RunStart(60000);
    // ×4 waits a quarter of ×1; a loaded machine adds the same to both.
    EXPECT_LT(perRecordX4 * 2, perRecordX1) << perRecordX4 << " ms vs " << perRecordX1;
    EXPECT_EQ(Bar().value(), records);
    EXPECT_EQ(Find<TFrameGraph>("FrameGraph1")->GraphPointCount(), records);
    EXPECT_EQ(GraphsDiff(0, records - 1), "");
}

class SteeringExport : public Steering {};

TEST_F(SteeringExport, WritesWhatEcuCsvWritesByteForByte) {
    StartSim();
    CreateWindow();
    const std::string path = WriteTrip("trip.bin", 500);
    {
        // A damaged record and a partial last one: cut as ecu-csv cuts them.
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out.write(reinterpret_cast<const char*>(DataRequest.data()), DataRequest.size());
        out.write("\x01\x02\x03", 3);
        out.write(reinterpret_cast<const char*>(file_.data()), 40);
    }
    Open(path);
    const std::string target = TempPath("trip-export.csv");
    dialogs.csvAnswers.push_back(QString::fromStdString(target));
    window->findChild<QAction*>(QStringLiteral("ActionExportCsv"))->trigger();

    ASSERT_EQ(dialogs.csvSuggestions.size(), 1u);
    EXPECT_EQ(dialogs.csvSuggestions[0], QString::fromStdString(TempPath("trip.csv")));
    const test::ChildResult tool =
        test::RunChild(ECU_CSV_PATH, {"--variant", "sohc", "--format", "display", path});
    ASSERT_EQ(tool.exitCode, 0) << tool.err;
    EXPECT_EQ(test::ReadFileText(target), tool.out);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(SteeringExport, AFileThatCannotBeWrittenGivesOneBoxAndLeavesNothing) {
    StartSim();
    CreateWindow();
    Open(WriteTrip("trip.bin", 10));
    const std::string target = TempPath("missing-folder/trip.csv");
    dialogs.csvAnswers.push_back(QString::fromStdString(target));
    window->findChild<QAction*>(QStringLiteral("ActionExportCsv"))->trigger();

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("CSV")));
    EXPECT_TRUE(boxes.boxes[0].text.contains(QString::fromStdString(target)));
    EXPECT_FALSE(std::ifstream(target).good());
}

// What main does with a file named on the command line.
TEST_F(Steering, ARecordingNamedAtStartUpIsOpenedAsTheButtonWouldOpenIt) {
    StartSim();
    TGlForm& w = CreateWindow();
    w.OpenRecording(QString::fromStdString(WriteTrip("trip.bin", 5)));
    EXPECT_EQ(Label(), QStringLiteral("Чтение файла trip.bin"));
    EXPECT_TRUE(w.Ecu().State().Flags.PlaybackArmed);
    EXPECT_FALSE(w.Ecu().Comm().Connected());
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
    ShowPage(PageParameters);
    RunStart();
    EXPECT_EQ(Bar().value(), 5);
    EXPECT_EQ(ParametersDiff(4), "");

    // A missing file: the box the open button gives for it.
    const QString missing = QString::fromStdString(TempPath("missing.bin"));
    w.OpenRecording(missing);
    dialogs.openAnswers.push_back(missing);
    Click("SpeedButtonOpenFile");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].caption, boxes.boxes[1].caption);
    EXPECT_EQ(boxes.boxes[0].text, boxes.boxes[1].text);
}

} // namespace
} // namespace ecu::accept
