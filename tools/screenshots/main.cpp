// Renders every page of the main window into PNG files while it polls the ECU
// simulator (run in this process, linked as COM1 through a private port map).
//
//   ecu-screenshots DIR        writes DIR/page-0-setup.png ... DIR/page-4-about.png
//
// Runs offscreen; boxes are printed instead of shown.
#include "app/Application.h"
#include "app/TGlForm.h"
#include "ecu-sim/EcuSimulator.h"
#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/LinkSession.h"
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
        const QString file = out_.filePath(QString::fromLatin1(PageFiles[page_]) + ".png");
        if (!window_.grab().save(file)) {
            std::fprintf(stderr, "ecu-screenshots: cannot write %s\n", qPrintable(file));
            ok_ = false;
        }
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
    int page_ = 0;
    bool ok_ = true;
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
    PageShooter shooter(window, out);
    QTimer::singleShot(0, &window, [&] {
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"));
        tabs->setCurrentIndex(ecu::PageParameters);
        shooter.Start(ecu::StartUpPollDelayMs * PollCyclesBeforeShots);
        window.BitBtnStartClick();
        QApplication::quit();
    });
    QApplication::exec();
    return shooter.Ok() ? 0 : 1;
}
