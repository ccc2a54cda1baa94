#pragma once

#include "link/OperationContext.h"

namespace rq {

// The RS232 stage of a firmware update, after no reader answered on USB: searches the
// serial ports and, for a revision B reader, erases it, switches to its flash mode at 9600
// and then 57600 baud and sends the image one byte per frame, each acknowledged. Ends
// with the port closed and LinkStatus empty.
void FlashOverSerial(OperationContext& ctx);

}  // namespace rq
