#pragma once
// What the session sees of the main window: the active tab, the engine variant, the
// pages' per-cycle steps, the port opening and the file dialogs. The window creates
// the pages after the session, so they are bound here once they exist.
#include "session/FileHost.h"
#include "session/SessionHost.h"

class QTabWidget;
class QWidget;

namespace ecu {

class FileDialogs;
class Session;
class TFrameGraph;
class TFrameManager;
class TFrameParameter;
class TFramePort;
class TPanelFoother;

struct WindowPages {
    QTabWidget* tabs = nullptr;
    TFramePort* setup = nullptr;
    TFrameParameter* parameters = nullptr;
    TFrameGraph* graphs = nullptr;
    TFrameManager* control = nullptr;
    TPanelFoother* footer = nullptr;
};

class WindowHost : public SessionHost, public FileChooser {
public:
    // dialogParent: where the file dialogs open.
    WindowHost(FileDialogs& dialogs, QWidget& dialogParent)
        : dialogs_(dialogs), dialogParent_(dialogParent) {}
    // Before the session runs anything: the session to open the port on, the pages.
    void Bind(Session& session, const WindowPages& pages) {
        session_ = &session;
        pages_ = pages;
    }
    const WindowPages& Pages() const { return pages_; }
    FileDialogs& Dialogs() { return dialogs_; }

    int ActivePageIndex() const override;
    EngineVariant SelectedVariant() const override;
    void ShowParameters() override;
    void AddGraphPoints() override;
    void ResetGraphs() override;
    void RestartGraphsAt(int firstPoint) override;
    void PlaceGraphCursorAtNewest() override;
    void ControlPageRefresh() override;
    void ShowUndecodedCycles(int inARow) override;
    void OpenPort() override;

    // The file chosen for recording or playback also names the graphs' picture.
    std::optional<QString> ChooseSaveFile() override;
    std::optional<QString> ChooseOpenFile() override;

private:
    void ShowOpenFailed();
    std::optional<QString> Chosen(std::optional<QString> path);

    FileDialogs& dialogs_;
    QWidget& dialogParent_;
    Session* session_ = nullptr;
    WindowPages pages_;
};

} // namespace ecu
