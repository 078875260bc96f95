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

void WindowHost::OpenPort() {
    // Checked before the port is touched: a bad rate leaves everything closed.
    const std::uint32_t baudRate = pages_.setup->BaudRate();
    // A refusal comes out with the port, its device and the system's reason.
    if (!session_->OpenPort(baudRate, pages_.setup->Delay()))
        return;
    pages_.setup->ShowPortOpen();
    pages_.footer->ShowPort(true);
}

std::optional<QString> WindowHost::ChooseSaveFile() {
    std::optional<QString> path = dialogs_.ChooseSaveFile(&dialogParent_);
    if (path)
        pages_.graphs->SetRecordingName(*path);
    return path;
}

std::optional<QString> WindowHost::ChooseOpenFile() {
    std::optional<QString> path = dialogs_.ChooseOpenFile(&dialogParent_);
    if (path)
        pages_.graphs->SetRecordingName(*path);
    return path;
}

} // namespace ecu
