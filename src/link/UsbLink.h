#pragma once

#include "core/OperationContext.h"

namespace rq {

// Per-report wait of the HID read when the reader sends fewer reports than asked for.
// Both the hidapi binding and the simulated reader's library use it.
inline constexpr int kHidReportTimeoutMs = 500;

// Finds the reader on USB, opens it, checks its report lengths and handshake.
// Leaves LinkStatus Ok (device open in HidHandle) or Err (closed). In Loop mode the
// search is quiet: it neither clears nor writes the status log, except its OK line.
void SearchUsbReader(OperationContext& ctx);

// Closes HidHandle; harmless when nothing is open.
void CloseUsbReader(OperationContext& ctx);

}  // namespace rq
