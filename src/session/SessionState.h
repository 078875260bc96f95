#pragma once
// Everything a session shares between its loops, its handlers and the pages. One
// instance, owned by whoever runs the session (the main window, the logger, a test).
#include "link/ControlFrame.h"
#include "link/Decode.h"
#include "link/EngineData.h"
#include "record/DataFile.h"
#include "record/SessionFlags.h"

#include <QString>

#include <cstdint>

namespace ecu {

struct SessionState {
    EngineData Engine;
    ByteString RxBuffer; // echo and answer of the running cycle
    ControlFrame Control;
    ControlLayout Layout;
    DataFile File;              // recording or playback file
    std::int32_t PollDelay = 0; // ms after each data request; set when the port opens
    QString PortName = QStringLiteral("COM1");
    SessionFlags Flags;
};

} // namespace ecu
