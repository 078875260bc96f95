#include "app/WindowHost.h"

#include "app/TPanelFoother.h"
#include "session/Session.h"
#include "ui/FileDialogs.h"
#include "ui/TFrameGraph.h"
#include "ui/TFrameManager.h"
#include "ui/TFrameParameter.h"
#include "ui/TFramePort.h"

#include <QTabWidget>

namespace ecu {

int WindowHost::ActivePageIndex() const {
    return pages_.tabs->currentIndex();
}

EngineVariant WindowHost::SelectedVariant() const {
    return VariantFromIndex(pages_.setup->EngineVariant());
}

void WindowHost::ShowParameters() {
    pages_.parameters->ShowParameters();
}

void WindowHost::AddGraphPoints() {
    pages_.graphs->AddGraphPoints();
}

void WindowHost::ResetGraphs() {
    pages_.graphs->ResetGraphs(*pages_.setup);
}

void WindowHost::RestartGraphsAt(int firstPoint) {
    ResetGraphs();
    pages_.graphs->CountPointsFrom(firstPoint);
}

void WindowHost::PlaceGraphCursorAtNewest() {
    pages_.graphs->PlaceCursorAtNewest();
}

void WindowHost::ControlPageRefresh() {
    pages_.control->ControlPageRefresh();
}

void WindowHost::ShowUndecodedCycles(int inARow) {
    pages_.footer->ShowUndecodedCycles(inARow);
}

void WindowHost::OpenPort() {
    bool opened = false;
    try {
        // The rate is checked before the port is touched; a refusal comes out with the
        // port, its device and the system's reason.
        opened = session_->OpenPort(pages_.setup->BaudRate(), pages_.setup->Delay());
    } catch (...) {
        ShowOpenFailed();
        throw;
    }
    if (!opened) {
        ShowOpenFailed();
        return;
    }
    pages_.setup->ShowPortOpen();
    pages_.footer->ShowPort(true);
}

// A port that did not open leaves the choices free (another port, rate or engine) and
// "Открыть порт" ready for another try; Start still plays a file armed for playback.
void WindowHost::ShowOpenFailed() {
    if (session_->Comm().Connected())
        return; // it was open already and stays so
    pages_.setup->ShowPortClosed();
    if (session_->State().Flags.PlaybackArmed)
        pages_.footer->ShowPortClosedByPlayback();
    else
        pages_.footer->ShowPort(false);
}

std::optional<QString> WindowHost::ChooseSaveFile() {
    return Chosen(dialogs_.ChooseSaveFile(&dialogParent_));
}

std::optional<QString> WindowHost::ChooseOpenFile() {
    return Chosen(dialogs_.ChooseOpenFile(&dialogParent_));
}

// The file chosen for recording or playback names the graphs' picture and the footer's label.
std::optional<QString> WindowHost::Chosen(std::optional<QString> path) {
    if (path) {
        pages_.graphs->SetRecordingName(*path);
        pages_.footer->SetChosenFile(*path);
    }
    return path;
}

} // namespace ecu
