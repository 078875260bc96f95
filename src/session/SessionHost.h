#pragma once
// What the session needs of the window: which page is active, the engine variant,
// the pages' per-cycle steps and the port opening. The main window implements it;
// the headless logger and the tests have their own.
#include "wire/EngineVariant.h"
#include "wire/Modes.h"

namespace ecu {

class SessionHost {
public:
    virtual ~SessionHost() = default;

    virtual int ActivePageIndex() const = 0;
    // The engine-variant box's selection, read at each use.
    virtual EngineVariant SelectedVariant() const = 0;

    virtual void ShowParameters() = 0;
    virtual void AddGraphPoints() = 0;
    virtual void ResetGraphs() = 0;
    // A playback stood on a record: the graphs are emptied and bound as ResetGraphs does,
    // their points counted from firstPoint, so that a refill looks as if the playback had
    // run up to it. Hosts without graphs ignore it.
    virtual void RestartGraphsAt(int firstPoint) { (void)firstPoint; }
    // The graphs' cursor stands on the newest point, the boxes showing its values.
    virtual void PlaceGraphCursorAtNewest() {}
    // Refreshes the control page's controls; the session then checksums and sends
    // the control frame itself.
    virtual void ControlPageRefresh() = 0;
    // After each live cycle's decoding: the session's count of cycles in a row
    // without a decoded answer (LinkSession::UndecodedInARow).
    virtual void ShowUndecodedCycles(int inARow) { static_cast<void>(inARow); }

    // The setup page's "open port": opens the component and, on success, updates
    // the page, the footer and PollDelay. Lets the component's error through.
    virtual void OpenPort() = 0;
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
