#pragma once
// A fresh control page per test, shown offscreen, over its own frame, layout and
// engine values.
#include "link/ControlFrame.h"
#include "link/EngineData.h"
#include "ui/Colors.h"
#include "ui/TFrameManager.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>

namespace ecu::testing {

inline QString T(const char* s) {
    return QString::fromUtf8(s);
}

class PageTest : public ::testing::Test {
protected:
    explicit PageTest(EngineVariant variant = EngineVariant::Sohc) {
        SetControlLayout(layout, variant);
        page = std::make_unique<TFrameManager>(frame, layout, engine);
        page->show();
    }

    template <class W> W* Get(const char* name) const {
        W* w = page->findChild<W*>(QString::fromLatin1(name));
        if (!w)
            ADD_FAILURE() << "no " << name;
        return w;
    }
    QSlider* Bar(const char* name) const { return Get<QSlider>(name); }
    QString Text(const char* name) const { return Get<QLineEdit>(name)->text(); }
    QString LabelText(const char* name) const { return Get<QLabel>(name)->text(); }
    void Click(const char* name) const {
        QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton);
    }
    // A drag of the bar's thumb to value, as the user's mouse makes it.
    static void Drag(QSlider* bar, int value) {
        bar->setSliderDown(true);
        bar->setSliderPosition(value);
        bar->setSliderDown(false);
    }
    QColor PanelColour(const char* name) const {
        return Get<QWidget>(name)->palette().color(QPalette::Window);
    }

    // The default frame with some bytes changed (1-based positions); the handlers
    // never touch the checksum, so it stays the default's.
    static ControlBytes With(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
        ControlBytes f = ControlFrameDefault;
        for (const auto& [position, value] : bytes)
            f[position - 1] = value;
        return f;
    }

    ControlFrame frame;
    ControlLayout layout;
    EngineData engine;
    std::unique_ptr<TFrameManager> page;
};

} // namespace ecu::testing
