#pragma once

#include "link/OperationContext.h"

namespace rq {

// Finds the reader on USB, opens it, checks its report lengths and handshake.
// Leaves LinkStatus Ok (device open in HidHandle) or Err (closed). In Loop mode the
// search is quiet: it neither clears nor writes the status log, except its OK line.
void SearchUsbReader(OperationContext& ctx);

// Closes HidHandle; harmless when nothing is open.
void CloseUsbReader(OperationContext& ctx);

}  // namespace rq
