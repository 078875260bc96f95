#pragma once
// The three flags that decide what is recorded and what Start runs. Each event
// that touches them is a member here, so the rules live in one place.
#include "wire/Modes.h"

namespace ecu {

struct SessionFlags {
    bool RecordArmed = false;     // a recording file has been chosen
    bool PlaybackArmed = false;   // Start plays the file instead of polling
    bool RecordingActive = false; // received bytes go to the data file now

    // A file was created for recording.
    void RecordFileCreated() {
        RecordArmed = true;
        PlaybackArmed = false;
    }
    // A file was opened for playback; it is never written.
    void PlaybackFileOpened() {
        RecordArmed = false;
        PlaybackArmed = true;
        RecordingActive = false;
    }
    // The footer's Stop, when it found the port open.
    void StoppedWithPortOpen() {
        RecordArmed = false;
        PlaybackArmed = false;
    }
    void WorkingModeChosen(WorkingMode mode) {
        if (mode == WorkingMode::Live || mode == WorkingMode::LiveRecording)
            PlaybackArmed = false;
        if (mode == WorkingMode::Live || mode == WorkingMode::Playback)
            RecordingActive = false;
    }
    // A write to the recording failed: recording stops until a file is chosen
    // again, since the file no longer ends on a whole cycle.
    void RecordingFailed() {
        RecordArmed = false;
        RecordingActive = false;
    }
    // The live loop after decoding a cycle, by active page index.
    void CycleOnPage(int page) {
        if (page == PageParameters || page == PageGraphs)
            RecordingActive = RecordArmed;
        else if (page == PageControl)
            RecordingActive = false;
    }
};

} // namespace ecu
