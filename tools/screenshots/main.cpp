// Renders every page of the main window into PNG files while it polls the ECU
// simulator (run in this process, linked as COM1 through a private port map), then
// plays a recording of the simulator's engine and pictures the playback paused.
//
//   ecu-screenshots DIR        writes DIR/page-0-setup.png ... DIR/page-4-about.png
//                              and DIR/playback-paused.png
//
// Runs offscreen; boxes are printed instead of shown.
#include "app/Application.h"
#include "app/TGlForm.h"
#include "ecu-sim/AnswerEncoder.h"
#include "ecu-sim/EcuSimulator.h"
#include "ecu-sim/EngineModel.h"
#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/FileSession.h"
#include "session/LinkSession.h"
#include "session/Playback.h"
#include "session/SessionState.h"
#include "ui/TFrameGraph.h"
#include "wire/Modes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

class PrintingPresenter : public ecu::MessagePresenter {
public:
    void ShowMessage(const QString& caption, const QString& text, ecu::MessageIcon) override {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
    }
};

const char* const PageFiles[] = {"page-0-setup", "page-1-parameters", "page-2-graphs",
                                 "page-3-control", "page-4-about"};
constexpr int PollCyclesBeforeShots = 6;
constexpr int SettleMs = 400;         // a few cycles on each page before its picture
constexpr int ControlSettleMs = 3000; // the idle valve's way to the commanded step
// The graphs page comes last: it fills a scrolled window of points, then the session
// stops there and the review cursor is placed.
constexpr int VisitOrder[] = {ecu::PageSetup, ecu::PageParameters, ecu::PageControl, ecu::PageAbout,
                              ecu::PageGraphs};
constexpr int GraphPoints = 320;
constexpr int CursorPosition = 400;

// The paused playback: a trip of TripRecords polls, played on the graphs page at ×4 and
// paused some way in, with more records behind the pause than a chart shows.
constexpr const char* PausedPlaybackFile = "playback-paused";
constexpr int TripRecords = 600;
constexpr std::size_t PauseAtRecord = 380;
constexpr ecu::PlaybackPace TripPace = ecu::PlaybackPace::X4;

bool SavePicture(QWidget& window, const QDir& out, const QString& name) {
    const QString file = out.filePath(name + ".png");
    if (window.grab().save(file))
        return true;
    std::fprintf(stderr, "ecu-screenshots: cannot write %s\n", qPrintable(file));
    return false;
}

// The simulator's engine from its default start, polled at the start-up's delay and
// recorded as the window records a live session: each request's echo, then the answer.
QString WriteTrip(const QDir& dir) {
    const QString path = dir.filePath(QStringLiteral("trip.bin"));
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    const ecu::SimOptions sim;
    ecu::EngineModel engine(sim.seed, sim.ambientC, sim.promId);
    for (int i = 0; i < TripRecords; ++i) {
        engine.Advance(ecu::StartUpPollDelayMs / 1000.0);
        ecu::WriteDataRecord(out, engine.State(), sim.variant);
    }
    return out.good() ? path : QString();
}

// Visits every page while the session polls and grabs it, then stops the session.
// Each step runs from a timer and returns, so that the live loop keeps cycling
// (and refreshing the page shown) between the steps.
class PageShooter {
public:
    PageShooter(ecu::TGlForm& window, const QDir& out)
        : window_(window), out_(out),
          tabs_(window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"))) {}

    void Start(int delayMs) {
        QTimer::singleShot(delayMs, &window_, [this] { Visit(); });
    }
    bool Ok() const { return ok_; }

private:
    void Visit() {
        page_ = VisitOrder[step_];
        tabs_->setCurrentIndex(page_);
        if (page_ == ecu::PageGraphs) {
            FillGraphs();
            return;
        }
        int settle = SettleMs;
        if (page_ == ecu::PageControl) {
            CommandOnControlPage();
            settle = ControlSettleMs;
        }
        QTimer::singleShot(settle, &window_, [this] {
            Grab();
            ++step_;
            Visit();
        });
    }

    // Polls on the graphs page until it holds GraphPoints points, stops there (which
    // enables the cursor) and reads a point back with it.
    void FillGraphs() {
        auto* graphs = window_.findChild<ecu::TFrameGraph*>(QStringLiteral("FrameGraph1"));
        if (graphs->GraphPointCount() < GraphPoints) {
            QTimer::singleShot(100, &window_, [this] { FillGraphs(); });
            return;
        }
        StopAfterAnswer([this, graphs] {
            QScrollBar& cursor = graphs->ScrollBarAxisX();
            cursor.setValue(1); // the first move widens the bar to the charts' width
            cursor.setValue(CursorPosition);
            graphs->ReplotNow();
            Grab();
        });
    }

    // The control page with commands active: check-engine on and the idle valve
    // held at step 120.
    void CommandOnControlPage() {
        window_.findChild<QAbstractButton*>(QStringLiteral("SpeedButtonCheckEngie"))->click();
        auto* bar = window_.findChild<QSlider*>(QStringLiteral("TrackBarIACDesired"));
        bar->setSliderDown(true);
        bar->setSliderPosition(120);
        bar->setSliderDown(false);
        window_.findChild<QAbstractButton*>(QStringLiteral("ButtonIACStart"))->click();
    }

    void Grab() {
        if (!SavePicture(window_, out_, QString::fromLatin1(PageFiles[page_])))
            ok_ = false;
    }

    // Stop once the running cycle's answer is in, so the session ends quietly.
    void StopAfterAnswer(std::function<void()> then) {
        const std::size_t size = ecu::RecordSize(window_.Host().SelectedVariant());
        if (window_.Ecu().State().RxBuffer.size() >= size) {
            window_.BitBtnStopClick();
            then();
            return;
        }
        QTimer::singleShot(2, &window_, [this, then] { StopAfterAnswer(then); });
    }

    ecu::TGlForm& window_;
    QDir out_;
    QTabWidget* tabs_;
    int step_ = 0;
    int page_ = ecu::PageSetup;
    bool ok_ = true;
};

// Opens a recording as the command line would, plays it on the graphs page at ×4 and
// pauses it as Space would, then grabs the window and stops the playback.
class PausedPlaybackShooter {
public:
    PausedPlaybackShooter(ecu::TGlForm& window, const QDir& out)
        : window_(window), out_(out), player_(window.Ecu().Files().Player()) {}

    // Returns when the playback has ended.
    void Run(const QString& recording) {
        window_.OpenRecording(recording);
        window_.findChild<QTabWidget*>(QStringLiteral("GlPageControl"))
            ->setCurrentIndex(ecu::PageGraphs);
        while (player_.Pace() < TripPace)
            player_.Faster();
        QTimer::singleShot(0, &window_, [this] { PauseFarEnoughIn(); });
        window_.BitBtnStartClick();
        if (!shot_)
            std::fprintf(stderr, "ecu-screenshots: the playback ended before its pause\n");
    }
    bool Ok() const { return shot_ && saved_; }

private:
    void PauseFarEnoughIn() {
        if (!player_.Running())
            return;
        if (player_.Position().value_or(0) < PauseAtRecord) {
            QTimer::singleShot(2, &window_, [this] { PauseFarEnoughIn(); });
            return;
        }
        player_.TogglePause();
        window_.findChild<ecu::TFrameGraph*>(QStringLiteral("FrameGraph1"))->ReplotNow();
        QTimer::singleShot(SettleMs, &window_, [this] {
            shot_ = true;
            saved_ = SavePicture(window_, out_, QString::fromLatin1(PausedPlaybackFile));
            window_.BitBtnStopClick();
        });
    }

    ecu::TGlForm& window_;
    QDir out_;
    ecu::Playback& player_;
    bool shot_ = false;
    bool saved_ = false;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ecu-screenshots DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir config;
    const std::filesystem::path ports =
        std::filesystem::path(config.path().toStdString()) / "ecuscan" / "ports";
    std::filesystem::create_directories(ports);
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    ecu::EcuSimulator sim;
    sim.Start();
    std::filesystem::create_symlink(sim.SlavePath(), ports / "COM1");
    std::filesystem::create_symlink(config.path().toStdString() + "/absent", ports / "COM2");

    PrintingPresenter boxes;
    ecu::TGlForm window({&boxes, nullptr});
    window.show();
    if (!window.Ecu().Comm().Connected()) {
        std::fprintf(stderr, "ecu-screenshots: the simulator's port did not open\n");
        return 1;
    }
    const QString trip = WriteTrip(QDir(config.path()));
    if (trip.isEmpty()) {
        std::fprintf(stderr, "ecu-screenshots: cannot write the recording to play\n");
        return 1;
    }
    PageShooter shooter(window, out);
    PausedPlaybackShooter playback(window, out);
    QTimer::singleShot(0, &window, [&] {
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"));
        tabs->setCurrentIndex(ecu::PageParameters);
        shooter.Start(ecu::StartUpPollDelayMs * PollCyclesBeforeShots);
        window.BitBtnStartClick();
        playback.Run(trip);
        QApplication::quit();
    });
    QApplication::exec();
    return shooter.Ok() && playback.Ok() ? 0 : 1;
}
