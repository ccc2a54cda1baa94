#pragma once

#include "core/Outcome.h"
#include "link/OperationContext.h"
#include "testmode/TestModeControls.h"

namespace rq {

// The communication test shows in the status log every character the reader outputs.
// On USB the reader types the ID as a keyboard into the focused status log; on RS232 it
// sends the ID on the port, which stays open. LinkStatus tells the two handlers which
// test runs: Usb, Test232, or End after "End Test".

// "Start Test": searches USB, then RS232, and on success locks the window for the test:
// Done (LinkStatus then tells the link) or NotFound.
Outcome StartTest(OperationContext& ctx, TestModeControls& window);

// Writes the banner and locks the settings controls and the File and Programming menus.
void EnterTestMode(OperationContext& ctx, TestModeControls& window);

// "End Test": unlocks the window, sets LinkStatus End and closes an open serial port.
// Also without a running test.
void EndTest(OperationContext& ctx, TestModeControls& window);

// One character typed into the focused status log: drawn while the USB test runs.
void StatusLogKeyPressed(OperationContext& ctx, char32_t character);

// The serial port's receive notification: draws every byte taken from the port while the
// RS232 test runs. A port that fails ends the test's reading with one line, and Failed.
Outcome SerialReceived(OperationContext& ctx);

}  // namespace rq
