#include "firmware/UsbFlash.h"

#include <algorithm>
#include <string>

#include "core/Text.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FlashFrames.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"

namespace rq {
namespace {

constexpr int kReconnectDots = 6;
constexpr int kReconnectAttempts = 20;
constexpr std::uint32_t kLengthReplyReports = 2;
// Bytes 0 to 2 of every flash-mode reply: report ID, ESC, FlashMode.
constexpr std::size_t kFlashHeaderLastIndex = 2;
constexpr std::size_t kFlashAnswerStart = 3;

constexpr Report kFlashModeReport = {0, kEsc, kFlashModeCommand, 0, 0, 0, 0, 0, 0};

// Every status output of this stage is brought on screen at once.
void Piece(OperationContext& ctx, std::string_view text) {
    ctx.log.appendPiece(text);
    ctx.log.repaint();
}
void Line(OperationContext& ctx, std::string_view text) {
    ctx.log.appendLine(text);
    ctx.log.repaint();
}

// The erase request over two reports; false (with "Fail...!") when either is refused.
bool Erase(OperationContext& ctx) {
    const auto request = EraseRequest();
    Report first{};
    Report second{};
    std::copy_n(request.begin(), kReportPayload, first.begin() + 1);
    std::copy(request.begin() + kReportPayload, request.end(), second.begin() + 1);
    Piece(ctx, "Erase RQ-4720 program memory ...");
    SendReport(ctx, first);
    if (ctx.state.HidStatus == kHidSuccess) {
        SendReport(ctx, second);
    }
    if (ctx.state.HidStatus != kHidSuccess) {
        Line(ctx, "Fail...!");
        return false;
    }
    Line(ctx, "Sent!");
    return true;
}

// The reader reboots off the bus: a fixed wait, then up to 20 quiet searches.
bool AwaitReconnect(OperationContext& ctx) {
    Piece(ctx, "Waiting for RQ-4720 USB reconnect ");
    ctx.log.repaintWindow();
    for (int i = 0; i < kReconnectDots; ++i) {
        Piece(ctx, ".");
        ctx.log.repaintWindow();
        delay(ctx, 1);
    }
    ctx.log.appendEmptyLine();
    ctx.log.repaint();
    ctx.log.repaintWindow();
    for (int attempt = 1; attempt <= kReconnectAttempts; ++attempt) {
        ctx.state.LinkStatus = LinkState::Loop;
        SearchUsbReader(ctx);
        if (ctx.state.LinkStatus == LinkState::Ok) {
            return true;
        }
        Piece(ctx, ".");
        ctx.log.repaintWindow();
        if (attempt < kReconnectAttempts) {
            delay(ctx, 1);
        }
    }
    Line(ctx, "Firmware update Fail!");
    return false;
}

// Reads `reports` replies into a cleared InBuffer, so a reply that never comes reads as
// zeros and fails its check instead of passing on the previous reply.
void ReadFreshReply(OperationContext& ctx, std::uint32_t reports) {
    ClearInBuffer(ctx.state);
    ReadReports(ctx, reports);
}

bool FlashModeConfirmed(const ProgramState& state) {
    if (!std::equal(kFlashModeReport.begin(), kFlashModeReport.begin() + kFlashAnswerStart,
                    state.InBuffer.begin())) {
        return false;
    }
    const auto answer = state.InBuffer.begin() + kFlashAnswerStart;
    return std::any_of(
        kFlashModeAnswers.begin(), kFlashModeAnswers.end(),
        [&](const auto& expected) { return std::equal(expected.begin(), expected.end(), answer); });
}

bool EnterFlashMode(OperationContext& ctx) {
    Piece(ctx, "Firmware update command to RQ4720 ...");
    SendReport(ctx, kFlashModeReport);
    ctx.log.repaintWindow();
    ReadFreshReply(ctx, 1);
    // SentCopy holds the frame the reply is held against; either known answer passes.
    ctx.state.SentCopy = kFlashModeReport;
    std::copy(kFlashModeAnswerJpUsb.begin(), kFlashModeAnswerJpUsb.end(),
              ctx.state.SentCopy.begin() + kFlashAnswerStart);
    if (!FlashModeConfirmed(ctx.state)) {
        Line(ctx, " Fail!");
        return false;
    }
    Line(ctx, " Confirm!");
    return true;
}

bool SendLength(OperationContext& ctx) {
    const auto length = static_cast<std::uint16_t>(ctx.state.FirmwareLength);
    const Report report = {0,
                           kEsc,
                           kFlashModeCommand,
                           0,
                           0,
                           static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF),
                           0,
                           0};
    SendReport(ctx, report);
    ctx.log.repaintWindow();
    // Only the first of the (up to) two replies must echo the length report.
    ReadFreshReply(ctx, kLengthReplyReports);
    KeepSentCommand(ctx.state);
    if (!UsbReplyMatches(ctx.state, kReportSize - 1)) {
        Line(ctx, "Binary length received error");
        return false;
    }
    return true;
}

bool SendImage(OperationContext& ctx, FlashProgress* progress) {
    const int length = ctx.state.FirmwareLength;
    Line(ctx, "Firmware updating via USB Please Wait ...");
    Piece(ctx, "Total" + text::DecimalWithBlank(length) + " Bytes. Writing:");
    ctx.log.repaintWindow();
    if (progress != nullptr) {
        progress->imageBytesSent(0, length);
    }
    for (int i = 0; i <= length - 1; i += kUsbBlockBytes) {
        Report block = {0, kEsc, kFlashModeCommand};
        for (int j = 0; j < kUsbBlockBytes; ++j) {
            // The last block runs on into the buffer after the file (zeros, and past the
            // buffer's end zeros too).
            block[3 + static_cast<std::size_t>(j)] =
                ImageByte(ctx.state, static_cast<std::size_t>(i + j));
        }
        SendReport(ctx, block);
        ReadFreshReply(ctx, 1);
        KeepSentCommand(ctx.state);
        if (!UsbReplyMatches(ctx.state, kFlashHeaderLastIndex)) {
            Line(ctx, "Write error!");
            return false;
        }
        if (i % kUsbDotBytes == 0) {
            // The library's calls block without the window's events, for seconds over a
            // whole image. Every eighth block is often enough and, unlike every block,
            // costs the transfer no measurable time; the clock limits the rate further.
            ctx.clock.keepAlive();
        }
        if (progress != nullptr) {
            progress->imageBytesSent(std::min(i + kUsbBlockBytes, length), length);
        } else if (i % kUsbDotBytes == 0) {
            Piece(ctx, ".");
            ctx.log.repaintWindow();
        }
    }
    ctx.log.appendEmptyLine();
    Line(ctx, "RQ-4720 firmware update finished !");
    return true;
}

}  // namespace

Outcome FlashOverUsb(OperationContext& ctx, FlashProgress* progress) {
    // Each step stops the stage at its own failure; no retries, no fallback to RS232.
    const bool flashed = Erase(ctx) && AwaitReconnect(ctx) && EnterFlashMode(ctx) &&
                         SendLength(ctx) && SendImage(ctx, progress);
    ctx.log.repaintWindow();
    CloseUsbReader(ctx);
    ctx.state.LinkStatus = LinkState::Usb;
    return flashed ? Outcome::Done : Outcome::Failed;
}

}  // namespace rq
