#pragma once

#include <string>

#include "link/OperationContext.h"

namespace rq {

// Probes COM1..COM16 at 9600, 19200, 57600 and 115200 baud. On success the port stays
// open at the port (SerialReaderFound) and rate (SearchBaudCode) where the reader answered.
void SearchSerialReader(OperationContext& ctx);

// One pass of the search over ports 1 to 16 at SearchBaudCode.
void Loopcom(OperationContext& ctx);

// Waits up to `seconds` until exactly `count` bytes are waiting, then takes them into
// SerialIn (SerialReplyReceived 1). More or fewer bytes end in the timeout (SerialIn
// empty, SerialReplyReceived 0). Returns the failure of the port, if any.
SerialFailure WaitSerialBytes(OperationContext& ctx, int count, double seconds);

// Waits half a second, then takes all waiting bytes into SerialIn and SerialInText.
SerialFailure ReadSerialAfterPause(OperationContext& ctx);

// Waits `seconds` whole seconds.
void delay(OperationContext& ctx, int seconds);

// "<baud>,n,8,1" for a code of BaudNames.
[[nodiscard]] std::string PortSettingsFor(int baudCode);

}  // namespace rq
