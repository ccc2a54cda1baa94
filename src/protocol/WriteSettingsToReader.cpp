#include <array>
#include <string>
#include <variant>

#include "core/Text.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"
#include "protocol/ReaderOperations.h"

namespace rq {
namespace {

constexpr std::array<std::string_view, 4> kBlockPieces = {" 1 ", " 2 ", " 3 ", " 4 "};
constexpr std::string_view kLastBlockLine = " 5 ";

// The USB error line carries the status of the failed call in hexadecimal.
std::string UsbErrorLine(std::uint8_t status) {
    return "Programming settings to RQ-4720 USB Error! " + text::Hex(status);
}

// The field as the refusal names it: the window's label in double quotes, without the
// label's colon, which would clash with the colon after "Cannot write".
std::string QuotedFieldName(TextField field) {
    std::string_view label = FieldLabel(field);
    if (label.ends_with(':')) {
        label.remove_suffix(1);
    }
    return '"' + std::string(label) + '"';
}

Outcome WriteOverUsb(OperationContext& ctx, const SettingsBlock& block) {
    StatusLog& log = ctx.log;
    log.appendPiece("Wrote memory block:");
    log.repaint();

    const auto reports = WriteSettingsReports(block);
    bool sent = true;
    for (std::size_t n = 0; n < reports.size(); ++n) {
        SendReport(ctx, reports[n]);
        if (ctx.state.HidStatus != kHidSuccess) {
            // Finish the block numbers' line so the failure gets a line of its own.
            log.appendEmptyLine();
            log.appendLine(UsbErrorLine(ctx.state.HidStatus));
            sent = false;
            break;
        }
        if (n < kBlockPieces.size()) {
            log.appendPiece(kBlockPieces[n]);
        } else {
            log.appendLine(kLastBlockLine);
        }
        log.repaint();
    }

    bool acknowledged = false;
    if (sent) {
        delay(ctx, 1);
        ReadReports(ctx, kWriteAcknowledgementReports);
        ExpectWriteAcknowledgement(ctx.state);
        acknowledged = UsbReplyMatches(ctx.state, kWriteAcknowledgementLastIndex);
        if (acknowledged) {
            log.appendLine("Programming settings to RQ-4720 USB OK!");
        } else {
            log.appendLine(UsbErrorLine(ctx.state.HidStatus));
        }
    }

    log.repaint();
    CloseUsbReader(ctx);
    ctx.state.LinkStatus = LinkState::Usb;
    return acknowledged ? Outcome::Done : Outcome::Failed;
}

Outcome WriteOverSerial(OperationContext& ctx, const SettingsBlock& block) {
    ProgramState& state = ctx.state;
    TolerantMode tolerant;
    SendSerialFrame(ctx, MakeWriteSettingsCommand(block), tolerant);
    tolerant.step(WaitSerialBytes(ctx, static_cast<int>(kWriteAcknowledgement.size()), 1.0));

    const bool accepted =
        state.SerialReplyReceived == 1 && StartsWith(state.SerialIn, kWriteAcknowledgement);
    if (accepted) {
        ctx.log.appendLine("Programming settings to RQ-4720 RS232 OK!");
        state.SerialReplyReceived = 8;
    }
    if (!accepted || tolerant.failed()) {
        ctx.log.appendLine(tolerant.errorLine("Programming settings to RQ-4720 RS232 Error!"));
    }
    ctx.log.repaint();
    ctx.serial.close();
    return accepted && !tolerant.failed() ? Outcome::Done : Outcome::Failed;
}

}  // namespace

Outcome WriteSettingsToReader(OperationContext& ctx) {
    const OperationLinkGuard guard(ctx);
    // Encoded up front: a text the reader cannot hold must stop the write before any
    // device is searched, so nothing at all reaches the reader.
    const EncodedSettings encoded = EncodeSettings(ctx.settings);
    if (const auto* refused = std::get_if<UnencodableCharacter>(&encoded)) {
        ctx.log.clear();
        ctx.log.appendLine("Cannot write: " + QuotedFieldName(refused->field) + " holds " +
                           text::DescribeCharacter(refused->character) +
                           ", which the reader cannot store");
        ctx.log.repaint();
        return Outcome::BadInput;
    }
    const SettingsBlock& block = std::get<SettingsBlock>(encoded);

    Outcome outcome = Outcome::NotFound;
    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        outcome = WriteOverUsb(ctx, block);
    }
    if (ctx.state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (ctx.state.SerialReaderFound != 0) {
            outcome = WriteOverSerial(ctx, block);
        }
    }
    return outcome;
}

}  // namespace rq
