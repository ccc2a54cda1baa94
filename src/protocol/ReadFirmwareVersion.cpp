#include <algorithm>
#include <span>
#include <vector>

#include "core/Text.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

constexpr Report kVersionReport = {0, kReadVersionRequest[0], kReadVersionRequest[1], 0, 0, 0, 0, 0,
                                   0};
// Over USB the text starts after ESC, the code and the length byte of report 0.
constexpr std::size_t kUsbTextStart = 4;
// Over RS232 a reply counts only when at least 10 bytes came within the pause.
constexpr std::size_t kSerialMinimumReply = 10;
constexpr std::size_t kSerialLengthIndex = 2;
constexpr std::size_t kSerialTextStart = 3;

Outcome ReadOverUsb(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    ctx.log.appendLine("Reading firmware version from RQ-4720 USB...");
    // The read below can block for half a second per report the reader leaves out.
    ctx.log.repaint();
    SendReport(ctx, kVersionReport);
    ClearInBuffer(state);
    ReadReports(ctx, kVersionReplyReports);
    KeepSentCommand(state);

    const bool matches = UsbReplyMatches(state, kVersionReplyLastIndex);
    if (!matches) {
        ctx.log.appendLine("Read firmware version from RQ-4720 USB Error!");
    } else {
        // Every printable byte delivered counts: report IDs, the length byte and control
        // characters such as a closing CR LF drop out.
        std::vector<std::uint8_t> shown;
        for (std::size_t i = kUsbTextStart; i < state.BytesReturned; ++i) {
            if (state.InBuffer.at(i) > 31) {
                shown.push_back(state.InBuffer[i]);
            }
        }
        state.ReplyText = text::DecodeCp1252(shown);
    }
    ctx.log.repaint();
    CloseUsbReader(ctx);
    state.LinkStatus = LinkState::Usb;
    return matches ? Outcome::Done : Outcome::Failed;
}

Outcome ReadOverSerial(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    ctx.log.appendLine("Reading firmware version from RQ-4720 RS232...");
    TolerantMode tolerant;
    SendSerialFrame(ctx, kReadVersionRequest, tolerant);
    tolerant.step(ReadSerialAfterPause(ctx));

    const std::span<const std::uint8_t> reply = state.SerialIn;
    const bool accepted =
        reply.size() >= kSerialMinimumReply && StartsWith(reply, kVersionReplyHeader);
    if (accepted) {
        const std::size_t announced = reply[kSerialLengthIndex];
        const std::size_t present = std::min(announced, reply.size() - kSerialTextStart);
        // The bytes present are shown even when the reply falls short of its length byte;
        // the shortfall is the failure that the error line reports.
        state.ReplyText = text::DecodeCp1252(reply.subspan(kSerialTextStart, present));
        state.SerialReplyReceived = 8;
        if (present < announced) {
            tolerant.step(SerialFailure::ReplyTooShort);
        }
    }
    if (!accepted || tolerant.failed()) {
        ctx.log.appendLine(tolerant.errorLine("Read firmware version from RQ-4720 RS232 Error!"));
    }
    ctx.log.repaint();
    ctx.serial.close();
    return accepted && !tolerant.failed() ? Outcome::Done : Outcome::Failed;
}

void ShowVersion(StatusLog& log, const std::string& version) {
    log.setTextColour(kVersionTextColour);
    log.appendEmptyLine();
    log.appendLine(version);
    log.appendEmptyLine();
    log.setTextColour(kStatusTextColour);
}

}  // namespace

Outcome ReadFirmwareVersion(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    const OperationLinkGuard guard(ctx);
    // Only a version read by this query is ever shown.
    state.ReplyText.clear();

    Outcome outcome = Outcome::NotFound;
    SearchUsbReader(ctx);
    if (state.LinkStatus == LinkState::Ok) {
        outcome = ReadOverUsb(ctx);
    }
    if (state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (state.SerialReaderFound != 0) {
            outcome = ReadOverSerial(ctx);
        }
    }
    if (!state.ReplyText.empty()) {
        ShowVersion(ctx.log, state.ReplyText);
    }
    return outcome;
}

}  // namespace rq
