#include "link/UsbLink.h"

#include <array>
#include <cstdint>
#include <span>

#include "core/Text.h"

namespace rq {
namespace {

// The identify report and the answer every reader gives to it.
constexpr std::array<std::uint8_t, kReportSize> kHandshakeReport = {0x00, 0x1B, 0x00, 0x00, 0x00,
                                                                    0x00, 0x00, 0x00, 0x00};
constexpr std::array<std::uint8_t, kReportSize> kHandshakeAnswer = {0x00, 0x1B, 0x00, 0x07, '4',
                                                                    '7',  '2',  '0',  'I'};
constexpr std::uint32_t kHandshakeReports = 2;

}  // namespace

void CloseUsbReader(OperationContext& ctx) {
    ctx.state.HidStatus = ctx.hid.HidDevice_Close(ctx.state.HidHandle);
}

void SearchUsbReader(OperationContext& ctx) {
    ProgramState& s = ctx.state;
    StatusLog& log = ctx.log;
    const bool quiet = s.LinkStatus == LinkState::Loop;

    CloseUsbReader(ctx);
    if (!quiet) {
        log.clear();
        log.appendLine("Searching RQ-4720 on USB ports...");
        log.repaint();
    }

    const std::uint32_t count =
        ctx.hid.HidDevice_GetNumHidDevices(kReaderVendorId, kReaderProductId);
    // The status byte holds the device count after counting, as the library's callers expect.
    s.HidStatus = static_cast<std::uint8_t>(count);

    bool opened = false;
    for (std::uint32_t index = 0; index < count && !opened; ++index) {
        s.HidStatus =
            ctx.hid.HidDevice_Open(s.HidHandle, index, kReaderVendorId, kReaderProductId, 0);
        opened = s.HidStatus == kHidSuccess;
    }

    auto fail = [&] {
        CloseUsbReader(ctx);
        s.LinkStatus = LinkState::Err;
        log.repaint();
    };

    if (!opened) {
        if (!quiet) {
            log.appendLine("No RQ-4720 connected on USB port! ");
            log.repaint();
        }
        fail();
        return;
    }

    if (!quiet) {
        log.appendLine("Checking RQ-4720 USB...");
        log.repaint();
    }
    ctx.hid.HidDevice_GetHandle(s.HidHandle);

    if (ctx.hid.HidDevice_GetInputReportBufferLength(s.HidHandle) != kReportSize) {
        if (!quiet) {
            log.appendLine("USB Input buffer error");
        }
        fail();
        return;
    }
    if (ctx.hid.HidDevice_GetOutputReportBufferLength(s.HidHandle) != kReportSize) {
        if (!quiet) {
            log.appendLine("USB outout buffer error");
        }
        fail();
        return;
    }

    s.OutReport = kHandshakeReport;
    s.HidStatus = ctx.hid.HidDevice_SetOutputReport_Interrupt(s.HidHandle, s.OutReport);
    log.repaintWindow();
    std::uint32_t bytesReturned = 0;
    s.HidStatus = ctx.hid.HidDevice_GetInputReport_Interrupt(
        s.HidHandle, std::span(s.InBuffer).first(kReportSize * kHandshakeReports),
        kHandshakeReports, bytesReturned);
    s.SentCopy = kHandshakeAnswer;

    // LinkStatus is consulted afresh at every byte: the first match already turns a quiet
    // search into "Ok", so in quiet mode a difference at byte 0 alone is let through.
    for (std::size_t i = 0; i < kReportSize; ++i) {
        if (s.SentCopy[i] != s.InBuffer[i] && s.LinkStatus != LinkState::Loop) {
            log.appendLine("RQ-4720 not connects to USB port !" + text::Hex(s.HidStatus));
            s.ReaderRevision = false;
            s.LinkStatus = LinkState::Err;
            break;
        }
        s.LinkStatus = LinkState::Ok;
    }

    if (s.LinkStatus != LinkState::Ok) {
        fail();
        return;
    }
    log.appendLine("RQ-4720 connected on USB port !");
    s.ReaderRevision = true;
    log.repaint();
}

}  // namespace rq
