#pragma once
// The window's numbered choices that the layers below it act on: which page is
// active (the tab order) and the working mode (the setup page's radio order), and
// the poll delay a session starts with.
#include <cstdint>

namespace ecu {

enum PageIndex : int {
    PageSetup = 0,
    PageParameters = 1,
    PageGraphs = 2,
    PageControl = 3,
    PageAbout = 4
};
inline constexpr int PageCount = 5;

enum class WorkingMode : int {
    None = -1,         // no radio button chosen
    Live = 0,          // polling
    LiveRecording = 1, // polling, recording to the chosen file
    Playback = 2       // Start plays the opened file
};

// The poll delay of the setup page at start-up and of ecu-log by default, in ms.
inline constexpr std::int32_t StartUpPollDelayMs = 120;

} // namespace ecu
