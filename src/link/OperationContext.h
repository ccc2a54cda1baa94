#pragma once

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/HidLibrary.h"
#include "core/ProgramState.h"
#include "core/SerialPort.h"
#include "core/StatusLog.h"
#include "settings/ReaderSettings.h"

namespace rq {

// What a reader operation works on: the shared state, the window's settings, and the
// seams to the window and the devices. The main window builds one over its members;
// tests build one over fakes and a simulated reader.
struct OperationContext {
    ProgramState& state;
    ReaderSettings& settings;
    StatusLog& log;
    Dialogs& dialogs;
    HidLibrary& hid;
    SerialPort& serial;
    Clock& clock;
};

}  // namespace rq
