#pragma once

#include "ReaderModel.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "link/OperationContext.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq::testing {

// The link code against simulated readers on virtual time: no device, no real waiting.
struct LinkRig {
    sim::VirtualClock clock;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    FakeStatusLog log;
    FakeDialogs dialogs;
    ProgramState state;
    ReaderSettings settings;
    OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};

    [[nodiscard]] double seconds() const {
        return std::chrono::duration<double>(clock.now()).count();
    }
};

// A reader whose RS232 rate is `baudCode` (0, 6, 8 or 9).
inline sim::ReaderModel SerialReader(sim::Revision revision, std::uint8_t baudCode = 0) {
    sim::ReaderConfig config;
    config.revision = revision;
    config.settings[0] = baudCode;
    return sim::ReaderModel(config);
}

}  // namespace rq::testing
