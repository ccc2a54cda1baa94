#pragma once

#include "core/Outcome.h"
#include "firmware/FlashProgress.h"
#include "link/OperationContext.h"

namespace rq {

// The USB stage of a firmware update, with the reader open on USB (LinkStatus Ok): erase,
// wait for the reader to come back in flash mode, confirm flash mode, send the length and
// the image in 6-byte blocks, checking every reply. Ends with the device closed and
// LinkStatus Usb. Done when the reader acknowledged the whole image, otherwise Failed.
// With `progress` the image's progress goes there instead of the log's dots.
Outcome FlashOverUsb(OperationContext& ctx, FlashProgress* progress = nullptr);

}  // namespace rq
