#pragma once

#include "cli/Console.h"
#include "link/OperationContext.h"

namespace rq::cli {

// `monitor`: the communication test over RS232. Every byte the reader sends is written
// as it comes, until Ctrl-C (or SIGTERM) ends the test as "End Test" does. A reader on
// USB is refused: its test types into the focused window, which is no place to watch.
// Returns the exit status.
[[nodiscard]] int RunMonitor(OperationContext& ctx, Console& console);

}  // namespace rq::cli
