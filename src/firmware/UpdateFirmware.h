#pragma once

#include "link/OperationContext.h"

namespace rq {

// "Firmware update", run by the pending file action FlashFirmware: reads and checks the
// image at ChosenFilePath, asks for confirmation, then flashes it over USB, or over RS232
// when no reader answers on USB. Returns when the update has ended.
void UpdateFirmware(OperationContext& ctx);

}  // namespace rq
