#include "core/Dialogs.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

constexpr Report kResetReport = {
    0, kResetRequest[0], kResetRequest[1], kResetRequest[2], kResetRequest[3], 0, 0, 0, 0};

void ResetOverUsb(OperationContext& ctx) {
    SendReport(ctx, kResetReport);
    ReadReports(ctx, kResetEchoReports);
    KeepSentCommand(ctx.state);
    ctx.log.appendLine(UsbReplyMatches(ctx.state, kResetEchoLastIndex)
                           ? "RQ-4720 USB Reset to default OK!"
                           : "RQ-4720 USB Reset Error!");
    ctx.log.repaint();
    CloseUsbReader(ctx);
    ctx.state.LinkStatus = LinkState::Usb;
}

// The echo is awaited and checked as over USB, so that an unplugged or silent reader is
// not reported as reset. Failures of the port only show as the missing echo.
void ResetOverSerial(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    TolerantMode tolerant;
    SendSerialFrame(ctx, kResetRequest, tolerant);
    tolerant.step(WaitSerialBytes(ctx, static_cast<int>(kResetEcho.size()), 1.0));

    const bool echoed = state.SerialReplyReceived == 1 && StartsWith(state.SerialIn, kResetEcho);
    ctx.log.appendLine(echoed ? "RQ-4720 RS232 Reset to default!" : "RQ-4720 RS232 Reset Error!");
    ctx.log.repaint();
    ctx.serial.close();
}

}  // namespace

void ResetReaderToDefaults(OperationContext& ctx) {
    if (ctx.dialogs.messageBox("Confirm ? ", "Reset 4720B", DialogIcon::Warning,
                               DialogButtons::OkCancel) != DialogAnswer::Ok) {
        return;  // LinkStatus is left as it was
    }
    const OperationLinkGuard guard(ctx);
    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        ResetOverUsb(ctx);
    }
    if (ctx.state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (ctx.state.SerialReaderFound != 0) {
            ResetOverSerial(ctx);
        }
    }
}

}  // namespace rq
