#pragma once

#include <cstdint>
#include <span>

#include "link/OperationContext.h"
#include "protocol/TolerantMode.h"
#include "protocol/UsbFrames.h"

namespace rq {

// Held for the length of one reader operation. However the operation's scope is left,
// LinkStatus ends empty; when an exception leaves it (the window catches those), the HID
// device and the serial port are closed as well, so that nothing stays open.
class OperationLinkGuard {
  public:
    explicit OperationLinkGuard(OperationContext& ctx);
    ~OperationLinkGuard();
    OperationLinkGuard(const OperationLinkGuard&) = delete;
    OperationLinkGuard& operator=(const OperationLinkGuard&) = delete;

  private:
    OperationContext& ctx_;
    int exceptionsAtStart_;
};

// Puts the report into OutReport and sends it to HidHandle; HidStatus takes the status.
void SendReport(OperationContext& ctx, const Report& report);

// Reads `reports` input reports into InBuffer from byte 0 (buffer size 9 per report);
// HidStatus and BytesReturned take the status and the count delivered.
void ReadReports(OperationContext& ctx, std::uint32_t reports);

// Puts the frame into SerialOut and writes it to the port in one piece.
void SendSerialFrame(OperationContext& ctx, std::span<const std::uint8_t> frame,
                     TolerantMode& tolerant);

}  // namespace rq
