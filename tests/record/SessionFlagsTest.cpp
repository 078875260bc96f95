#include "record/SessionFlags.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ecu {
namespace {

// What an event does to one flag.
enum Effect { Keep, Set, Clear, FromArmed };

struct Row {
    std::string event;
    std::function<void(SessionFlags&)> apply;
    Effect recordArmed, playbackArmed, recordingActive;
};

bool After(Effect e, bool before, bool armed) {
    switch (e) {
    case Keep:
        return before;
    case Set:
        return true;
    case Clear:
        return false;
    case FromArmed:
        return armed;
    }
    return before;
}

TEST(SessionFlags, EveryEventFromEveryState) {
    const std::vector<Row> table = {
        {"record file created", [](SessionFlags& f) { f.RecordFileCreated(); }, Set, Clear, Keep},
        {"playback file opened", [](SessionFlags& f) { f.PlaybackFileOpened(); }, Clear, Set,
         Clear},
        {"stop with the port open", [](SessionFlags& f) { f.StoppedWithPortOpen(); }, Clear, Clear,
         Keep},
        {"working mode live", [](SessionFlags& f) { f.WorkingModeChosen(WorkingMode::Live); }, Keep,
         Clear, Clear},
        {"working mode recording",
         [](SessionFlags& f) { f.WorkingModeChosen(WorkingMode::LiveRecording); }, Keep, Clear,
         Keep},
        {"working mode playback",
         [](SessionFlags& f) { f.WorkingModeChosen(WorkingMode::Playback); }, Keep, Keep, Clear},
        {"working mode none", [](SessionFlags& f) { f.WorkingModeChosen(WorkingMode::None); }, Keep,
         Keep, Keep},
        {"recording failed", [](SessionFlags& f) { f.RecordingFailed(); }, Clear, Keep, Clear},
        {"cycle on setup", [](SessionFlags& f) { f.CycleOnPage(PageSetup); }, Keep, Keep, Keep},
        {"cycle on parameters", [](SessionFlags& f) { f.CycleOnPage(PageParameters); }, Keep, Keep,
         FromArmed},
        {"cycle on graphs", [](SessionFlags& f) { f.CycleOnPage(PageGraphs); }, Keep, Keep,
         FromArmed},
        {"cycle on control", [](SessionFlags& f) { f.CycleOnPage(PageControl); }, Keep, Keep,
         Clear},
        {"cycle on about", [](SessionFlags& f) { f.CycleOnPage(PageAbout); }, Keep, Keep, Keep},
    };
    EXPECT_FALSE(SessionFlags{}.RecordArmed || SessionFlags{}.PlaybackArmed ||
                 SessionFlags{}.RecordingActive);
    for (const Row& row : table) {
        for (int bits = 0; bits < 8; ++bits) {
            SessionFlags f;
            f.RecordArmed = (bits & 1) != 0;
            f.PlaybackArmed = (bits & 2) != 0;
            f.RecordingActive = (bits & 4) != 0;
            const SessionFlags before = f;
            row.apply(f);
            SCOPED_TRACE(row.event + " from state " + std::to_string(bits));
            EXPECT_EQ(f.RecordArmed,
                      After(row.recordArmed, before.RecordArmed, before.RecordArmed));
            EXPECT_EQ(f.PlaybackArmed,
                      After(row.playbackArmed, before.PlaybackArmed, before.RecordArmed));
            EXPECT_EQ(f.RecordingActive,
                      After(row.recordingActive, before.RecordingActive, before.RecordArmed));
        }
    }
}

} // namespace
} // namespace ecu
