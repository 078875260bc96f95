#include "WindowHarness.h"

#include "ecu-sim/AnswerEncoder.h"
#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/SessionState.h"
#include "wire/Frames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>

namespace ecu::wintest {

WindowTest::WindowTest() = default;

WindowTest::~WindowTest() {
    timers_.clear();
    window.reset();
    sim.Stop();
}

SimOptions WindowTest::FastSim(EngineVariant variant) {
    SimOptions options;
    options.variant = variant;
    options.fast = true;
    return options;
}

void WindowTest::StartSim(const SimOptions& options, const char* port) {
    sim.SetOptions(options);
    sim.Start();
    LinkPort(port, sim.SlavePath());
}

void WindowTest::LinkPort(const char* port, const std::string& target) {
    map_.Link(port, target);
}

TGlForm& WindowTest::CreateWindow(Delay delay) {
    window = std::make_unique<TGlForm>(WindowServices{&boxes, &dialogs});
    window->show();
    QApplication::setActiveWindow(window.get());
    window->activateWindow();
    EXPECT_TRUE(WaitUntil([this] { return window->isActiveWindow(); }, 1000));
    if (delay == Delay::Roomy && window->Ecu().Comm().Connected())
        RoomyPollDelay();
    return *window;
}

void WindowTest::RoomyPollDelay() {
    ASSERT_TRUE(window && window->Ecu().Comm().Connected());
    window->Ecu().State().PollDelay = RoomyPollDelayMs;
}

QWidget* WindowTest::FindWidget(const char* path) const {
    QWidget* widget = window.get();
    for (const QString& name : QString::fromLatin1(path).split(QLatin1Char('/'))) {
        widget = widget ? widget->findChild<QWidget*>(name) : nullptr;
    }
    return widget;
}

void WindowTest::Click(const char* name) {
    QWidget* widget = Find(name);
    if (widget)
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void WindowTest::PressKey(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window.get(), key);
}

void WindowTest::SystemKey(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->windowHandle(), key);
    QApplication::processEvents();
}

QWidget* WindowTest::OpenList(const char* box) {
    auto* combo = Find<QComboBox>(box);
    combo->setFocus();
    combo->showPopup();
    QWidget* popup = combo->view()->window();
    EXPECT_TRUE(WaitUntil([popup] { return popup->isVisible(); }, 2000));
    return popup;
}

void WindowTest::ShowPage(int index) {
    auto* tabs = Find<QTabWidget>("GlPageControl");
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void WindowTest::TypeText(const char* name, const QString& text) {
    QWidget* widget = Find(name);
    QLineEdit* edit = qobject_cast<QLineEdit*>(widget);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        edit = combo->lineEdit();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
        edit = spin->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr) << name << " takes no typed text";
    widget->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    Find("GlPageControl")->setFocus(); // leaving the control
    QApplication::processEvents();
}

void WindowTest::When(std::function<bool()> cond, std::function<void()> action) {
    auto timer = std::make_unique<QTimer>();
    QTimer* raw = timer.get();
    raw->setInterval(2);
    QObject::connect(raw, &QTimer::timeout,
                     [raw, cond = std::move(cond), action = std::move(action)] {
                         if (!cond())
                             return;
                         raw->stop();
                         action();
                     });
    raw->start();
    timers_.push_back(std::move(timer));
}

void WindowTest::AfterDataRequests(std::uint64_t n, std::function<void()> action) {
    When([this, n] { return sim.DataRequests() >= n; }, std::move(action));
}

void WindowTest::RunStart(int timeoutMs, const std::function<void()>& trigger) {
    bool overdue = false;
    QTimer watchdog;
    watchdog.setInterval(timeoutMs);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        overdue = true;
        watchdog.setInterval(50);
        window->Ecu().StopPolling();
    });
    watchdog.start();
    if (trigger)
        trigger();
    else
        Click("BitBtnStart");
    EXPECT_FALSE(overdue) << "the session did not end by itself";
}

QColor WindowTest::IndicatorColour() const {
    auto* panel = window->findChild<QFrame*>(QStringLiteral("PanelPortIndicator"));
    return panel ? panel->palette().color(QPalette::Window) : QColor();
}

std::uint32_t WindowTest::LineSpeed(const std::string& ttyPath) {
    const int fd = ::open(ttyPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct termios2 settings {};
    const bool ok = ::ioctl(fd, TCGETS2, &settings) == 0;
    ::close(fd);
    return ok ? settings.c_ospeed : 0;
}

std::string WindowTest::WriteRecording(const char* name, int records, const SimEngine& engine,
                                       EngineVariant variant) const {
    std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < records; ++i)
        WriteDataRecord(out, engine, variant);
    return path;
}

void WindowTest::TapReceivedBytes() {
    TComm32& comm = window->Ecu().Comm();
    auto handler = comm.OnReceiveData;
    comm.OnReceiveData = [this, handler](const void* buffer, std::uint16_t length) {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        received.insert(received.end(), bytes, bytes + length);
        handler(buffer, length);
    };
}

} // namespace ecu::wintest
