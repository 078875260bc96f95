// Renders every page of the main window into PNG files while it polls the ECU
// simulator (run in this process, linked as COM1 through a private port map).
//
//   ecu-screenshots DIR        writes DIR/page-0-setup.png ... DIR/page-4-about.png
//
// Runs offscreen; boxes are printed instead of shown.
#include "app/Application.h"
#include "app/TGlForm.h"
#include "ecu-sim/EcuSimulator.h"
#include "session/LinkSession.h"
#include "serial/Comm32.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <filesystem>

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

// Visits every page while the session polls, grabs it, then stops the session.
void ShootPages(ecu::TGlForm& window, const QDir& out, bool& ok) {
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"));
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        window.Link().WaitMs(400); // a few cycles on the page
        const QString file = out.filePath(QString::fromLatin1(PageFiles[page]) + ".png");
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "ecu-screenshots: cannot write %s\n", qPrintable(file));
            ok = false;
        }
    }
    tabs->setCurrentIndex(ecu::PageParameters);
    window.BitBtnStopClick();
}

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
    if (!window.ComPort().Connected()) {
        std::fprintf(stderr, "ecu-screenshots: the simulator's port did not open\n");
        return 1;
    }
    bool ok = true;
    QTimer::singleShot(0, &window, [&] {
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("GlPageControl"));
        tabs->setCurrentIndex(ecu::PageParameters);
        QTimer::singleShot(0, &window, [&] {
            window.Link().WaitMs(120 * PollCyclesBeforeShots);
            ShootPages(window, out, ok);
        });
        window.BitBtnStartClick();
        QApplication::quit();
    });
    QApplication::exec();
    return ok ? 0 : 1;
}
