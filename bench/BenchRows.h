#pragma once

#include <QCoreApplication>

#include "BenchTable.h"
#include "core/ProgramState.h"
#include "link/OperationContext.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"
#include "support/NoDevices.h"

namespace rq::bench {

// The tool's operations over the real serial binding and the real clock, whose hook
// runs the event loop as the window does during a command.
struct ToolRig {
    ProgramState state;
    ReaderSettings settings;
    testing::FakeStatusLog log;
    testing::FakeDialogs dialogs;
    testing::NoHidLibrary hid;
    QtSerialPort serial;
    SteadyClock clock{[] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers);
    }};
    OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};
};

void MeasureWaits(Table& table, int runs);
void MeasureIdle(Table& table, int runs);
void MeasureSearches(Table& table, int runs);
void MeasureStartup(Table& table, int runs);
void MeasureFlash(Table& table, int runs);
void MeasureTestMode(Table& table);

}  // namespace rq::bench
