#pragma once

#include "core/Outcome.h"
#include "firmware/FlashProgress.h"
#include "link/OperationContext.h"

namespace rq {

// The RS232 stage of a firmware update, after no reader answered on USB: searches the
// serial ports and, for a revision B reader, erases it, switches to its flash mode at 9600
// and then 57600 baud and sends the image one byte per frame, each acknowledged. Ends
// with the port closed and LinkStatus empty. Done when the reader acknowledged the whole
// image; NotFound when no reader answered; otherwise Failed (a revision A reader too).
// With `progress` the image's progress goes there instead of the log's dots.
Outcome FlashOverSerial(OperationContext& ctx, FlashProgress* progress = nullptr);

}  // namespace rq
