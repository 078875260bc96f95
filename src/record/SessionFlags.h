#pragma once
// The three flags that decide what is recorded and what Start runs. Each event
// that touches them is a member here, so the rules live in one place.
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
    // A working mode was chosen: 0 live, 1 live with recording, 2 playback.
    void WorkingModeChosen(int item) {
        if (item == 0 || item == 1)
            PlaybackArmed = false;
        if (item == 0 || item == 2)
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
        if (page == 1 || page == 2)
            RecordingActive = RecordArmed;
        else if (page == 3)
            RecordingActive = false;
    }
};

} // namespace ecu
