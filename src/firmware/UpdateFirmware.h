#pragma once

#include "core/Outcome.h"
#include "firmware/FlashProgress.h"
#include "link/OperationContext.h"

namespace rq {

// "Firmware update", run by the pending file action FlashFirmware: reads and checks the
// image at ChosenFilePath, asks for confirmation, then flashes it over USB, or over RS232
// when no reader answers on USB. Returns when the update has ended: BadInput for an image
// that is refused, Declined when the operator cancels, else the flash stage's outcome.
// With `progress` the image's progress goes there instead of the log's dots.
Outcome UpdateFirmware(OperationContext& ctx, FlashProgress* progress = nullptr);

}  // namespace rq
