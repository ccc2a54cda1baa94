#include "protocol/LinkExchange.h"

#include <algorithm>
#include <exception>

#include "link/UsbLink.h"

namespace rq {

OperationLinkGuard::OperationLinkGuard(OperationContext& ctx)
    : ctx_(ctx), exceptionsAtStart_(std::uncaught_exceptions()) {}

OperationLinkGuard::~OperationLinkGuard() {
    if (std::uncaught_exceptions() > exceptionsAtStart_) {
        // Unwinding already: a second exception from a link would end the program.
        try {
            CloseUsbReader(ctx_);
        } catch (...) {
        }
        try {
            if (ctx_.serial.isOpen()) {
                ctx_.serial.close();
            }
        } catch (...) {
        }
    }
    ctx_.state.LinkStatus = LinkState::Empty;
}

void SendReport(OperationContext& ctx, const Report& report) {
    ctx.state.OutReport = report;
    ctx.state.HidStatus =
        ctx.hid.HidDevice_SetOutputReport_Interrupt(ctx.state.HidHandle, ctx.state.OutReport);
}

void ReadReports(OperationContext& ctx, std::uint32_t reports) {
    const std::size_t size = std::min<std::size_t>(reports * kReportSize, kInBufferSize);
    std::uint32_t delivered = 0;
    ctx.state.HidStatus = ctx.hid.HidDevice_GetInputReport_Interrupt(
        ctx.state.HidHandle, std::span(ctx.state.InBuffer).first(size), reports, delivered);
    // A library that claims more than the buffer holds must not lead a caller past it.
    ctx.state.BytesReturned = std::min<std::uint32_t>(delivered, static_cast<std::uint32_t>(size));
}

void SendSerialFrame(OperationContext& ctx, std::span<const std::uint8_t> frame,
                     TolerantMode& tolerant) {
    ctx.state.SerialOut.assign(frame.begin(), frame.end());
    tolerant.step(ctx.serial.output(ctx.state.SerialOut));
}

}  // namespace rq
