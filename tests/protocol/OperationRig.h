#pragma once

#include <string>
#include <vector>

#include "link/OperationContext.h"
#include "support/EditedSettings.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq::testing {

// Everything an operation works on, over whichever links a test supplies.
template <typename Hid, typename Serial, typename TestClock>
struct OperationRig {
    OperationRig(Hid& hid, Serial& serial, TestClock& clock)
        : ctx{state, settings, log, dialogs, hid, serial, clock} {}

    ProgramState state;
    ReaderSettings settings;
    FakeStatusLog log;
    FakeDialogs dialogs;
    OperationContext ctx;
};

// Status lines of the searches, as an operation's log begins.
inline const std::vector<std::string> kUsbFound = {"Searching RQ-4720 on USB ports...",
                                                   "Checking RQ-4720 USB...",
                                                   "RQ-4720 connected on USB port !"};
inline const std::vector<std::string> kNoUsb = {"Searching RQ-4720 on USB ports...",
                                                "No RQ-4720 connected on USB port! "};

inline std::vector<std::string> Lines(std::vector<std::string> first,
                                      const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

}  // namespace rq::testing
