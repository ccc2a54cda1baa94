#pragma once

#include "link/OperationContext.h"

namespace rq {

// The USB stage of a firmware update, with the reader open on USB (LinkStatus Ok): erase,
// wait for the reader to come back in flash mode, confirm flash mode, send the length and
// the image in 6-byte blocks, checking every reply. Ends with the device closed and
// LinkStatus Usb.
void FlashOverUsb(OperationContext& ctx);

}  // namespace rq
