#include <span>
#include <vector>

#include "core/Text.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

constexpr Report kReadSettingsReport = {0,
                                        kReadSettingsRequest[0],
                                        kReadSettingsRequest[1],
                                        kReadSettingsRequest[2],
                                        kReadSettingsRequest[3],
                                        kReadSettingsRequest[4],
                                        0,
                                        0,
                                        0};
// A whole settings reply over USB: five reports of 9 bytes.
constexpr std::uint32_t kSettingsReplyUsbBytes = kSettingsReplyReports * kReportSize;
// Over RS232: the 5 header bytes and the 31 block bytes.
constexpr std::size_t kSettingsReplySerialBytes =
    kReadSettingsReplyHeader.size() + kSettingsBlockLength;

// The reply is kept as text, one character per byte; the block follows the header.
void TakeReply(OperationContext& ctx, std::span<const std::uint8_t> reply) {
    ctx.state.ReplyText = text::DecodeCp1252(reply);
    DecodeSettings(reply.subspan(kReadSettingsReplyHeader.size()), ctx.state.ReaderRevision,
                   ctx.settings);
}

Outcome ReadOverUsb(OperationContext& ctx) {
    SendReport(ctx, kReadSettingsReport);
    // Cleared first, so that reports which never arrive cannot pass as stale bytes.
    ClearInBuffer(ctx.state);
    ReadReports(ctx, kSettingsReplyReports);
    KeepSentCommand(ctx.state);

    const bool complete = ctx.state.BytesReturned == kSettingsReplyUsbBytes;
    const bool matches = complete && UsbReplyMatches(ctx.state, kSettingsReplyLastIndex);
    if (!matches) {
        ctx.log.appendLine("Read 4720B USB value Error!");
    } else {
        const std::vector<std::uint8_t> reply = ReportPayloads(ctx.state, kSettingsReplyReports);
        TakeReply(ctx, reply);
        ctx.log.appendLine("Read 4720B USB value OK!");
    }
    ctx.log.repaint();
    CloseUsbReader(ctx);
    ctx.state.LinkStatus = LinkState::Usb;
    return matches ? Outcome::Done : Outcome::Failed;
}

Outcome ReadOverSerial(OperationContext& ctx) {
    ProgramState& state = ctx.state;
    TolerantMode tolerant;
    SendSerialFrame(ctx, kReadSettingsRequest, tolerant);
    tolerant.step(WaitSerialBytes(ctx, static_cast<int>(kSettingsReplySerialBytes), 1.0));

    const bool accepted = state.SerialReplyReceived == 1 &&
                          state.SerialIn.size() >= kSettingsReplySerialBytes &&
                          StartsWith(state.SerialIn, kReadSettingsReplyHeader);
    if (accepted) {
        // On this link the OK line comes before the fields change.
        ctx.log.appendLine(state.ReaderRevision ? "Read 4720B RS232 value OK!"
                                                : "Read 4720A RS232 value OK!");
        TakeReply(ctx, std::span(state.SerialIn).first(kSettingsReplySerialBytes));
        state.SerialReplyReceived = 8;
    }
    if (!accepted || tolerant.failed()) {
        ctx.log.appendLine(tolerant.errorLine("Read RS232 value Error!"));
    }
    ctx.log.repaint();
    ctx.serial.close();
    return accepted && !tolerant.failed() ? Outcome::Done : Outcome::Failed;
}

}  // namespace

Outcome ReadSettingsFromReader(OperationContext& ctx) {
    const OperationLinkGuard guard(ctx);
    Outcome outcome = Outcome::NotFound;
    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        outcome = ReadOverUsb(ctx);
    }
    if (ctx.state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (ctx.state.SerialReaderFound != 0) {
            outcome = ReadOverSerial(ctx);
        }
    }
    return outcome;
}

}  // namespace rq
