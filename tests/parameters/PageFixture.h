#pragma once
// A fresh parameters page over its own engine values, fed with answers that the simulator's
// encoder builds from engine states and the program's decoder reads.
#include "ecu-sim/AnswerEncoder.h"
#include "link/Decode.h"
#include "link/EngineData.h"
#include "ui/TFrameParameter.h"

#include <QLineEdit>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <memory>

namespace ecu::test {

class ParameterPage : public ::testing::Test {
protected:
    // Encodes the engine state, decodes it with the echo in front, shows it.
    void Show(const SimEngine& engine, EngineVariant variant = EngineVariant::Sohc) {
        ByteString rx{0xF4, 0x56, 0x01, 0xB5};
        const auto answer = EncodeDataAnswer(engine, variant);
        rx.insert(rx.end(), answer.begin(), answer.end());
        ASSERT_TRUE(DecodeFrame(rx, data, variant));
        page->ShowParameters();
    }

    QString Text(const char* edit) const {
        auto* widget = page->findChild<QLineEdit*>(QString::fromLatin1(edit));
        EXPECT_NE(widget, nullptr) << edit;
        return widget ? widget->text() : QString();
    }

    int Bar(const char* bar) const {
        auto* widget = page->findChild<QProgressBar*>(QString::fromLatin1(bar));
        EXPECT_NE(widget, nullptr) << bar;
        return widget ? widget->value() : -1;
    }

    EngineData data;
    std::unique_ptr<TFrameParameter> page = std::make_unique<TFrameParameter>(data);
};

} // namespace ecu::test
