#include "core/Dialogs.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

constexpr Report kResetReport = {
    0, kResetRequest[0], kResetRequest[1], kResetRequest[2], kResetRequest[3], 0, 0, 0, 0};

Outcome ResetOverUsb(OperationContext& ctx) {
    SendReport(ctx, kResetReport);
    ReadReports(ctx, kResetEchoReports);
    KeepSentCommand(ctx.state);
    const bool echoed = UsbReplyMatches(ctx.state, kResetEchoLastIndex);
    ctx.log.appendLine(echoed ? "RQ-4720 USB Reset to default OK!" : "RQ-4720 USB Reset Error!");
    ctx.log.repaint();
    CloseUsbReader(ctx);
    ctx.state.LinkStatus = LinkState::Usb;
    return echoed ? Outcome::Done : Outcome::Failed;
}

// The echo is awaited and checked as over USB, so that an unplugged or silent reader is
// not reported as reset. Failures of the port only show as the missing echo.
Outcome ResetOverSerial(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    TolerantMode tolerant;
    SendSerialFrame(ctx, kResetRequest, tolerant);
    tolerant.step(WaitSerialBytes(ctx, static_cast<int>(kResetEcho.size()), 1.0));

    const bool echoed = state.SerialReplyReceived == 1 && StartsWith(state.SerialIn, kResetEcho);
    ctx.log.appendLine(echoed ? "RQ-4720 RS232 Reset to default!" : "RQ-4720 RS232 Reset Error!");
    ctx.log.repaint();
    ctx.serial.close();
    return echoed ? Outcome::Done : Outcome::Failed;
}

}  // namespace

Outcome ResetReaderToDefaults(OperationContext& ctx) {
    if (ctx.dialogs.messageBox("Confirm ? ", "Reset 4720B", DialogIcon::Warning,
                               DialogButtons::OkCancel) != DialogAnswer::Ok) {
        return Outcome::Declined;  // LinkStatus is left as it was
    }
    const OperationLinkGuard guard(ctx);
    Outcome outcome = Outcome::NotFound;
    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        outcome = ResetOverUsb(ctx);
    }
    if (ctx.state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (ctx.state.SerialReaderFound != 0) {
            outcome = ResetOverSerial(ctx);
        }
    }
    return outcome;
}

}  // namespace rq
