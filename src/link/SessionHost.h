#pragma once
// What the session needs of the window: which page is active, the engine variant,
// the pages' per-cycle steps, the port opening, and the footer and setup controls
// that the file buttons and playback touch. The main window implements it; the
// headless logger and the tests have their own.
#include <QString>

#include <optional>

namespace ecu {

// Active page indexes.
enum PageIndex : int {
    PageSetup = 0,
    PageParameters = 1,
    PageGraphs = 2,
    PageControl = 3,
    PageAbout = 4
};

class SessionHost {
public:
    virtual ~SessionHost() = default;

    virtual int ActivePageIndex() const = 0;
    // Item index of the engine-variant box (0 SOHC, 1 DOHC, -1 none), read at each use.
    virtual int EngineVariant() const = 0;

    virtual void ShowParameters() = 0;
    virtual void AddGraphPoints() = 0;
    virtual void ResetGraphs() = 0;
    // Refreshes the control page's controls; the session then checksums and sends
    // the control frame itself.
    virtual void ControlPageRefresh() = 0;

    // The setup page's "open port": opens the component and, on success, updates
    // the page, the footer and PollDelay. Lets the component's error through.
    virtual void OpenPort() = 0;

    // Footer: the playback progress bar with its "0%" and "100%" labels.
    virtual void SetProgressPosition(int position) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void ShowProgressBar() = 0;
    virtual void ShowPercentLabels() = 0;
    virtual void SetFileNameLabel(const QString& caption) = 0;
    // The port was closed by opening a file for playback: "close port" disabled,
    // "open port" enabled, indicator red.
    virtual void ShowPortClosedByPlayback() = 0;

    // File dialogs; nothing when cancelled. The save dialog itself asks before an
    // existing file is chosen, since saving empties it.
    virtual std::optional<QString> ChooseSaveFile() = 0;
    virtual std::optional<QString> ChooseOpenFile() = 0;
};

// The display step of a cycle, live or played back: the parameters page shows the
// values, the graphs page adds a point, other pages show nothing.
inline void StepDisplayPage(SessionHost& host, int page) {
    if (page == PageParameters)
        host.ShowParameters();
    else if (page == PageGraphs)
        host.AddGraphPoints();
}

} // namespace ecu
