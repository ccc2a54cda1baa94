#include "firmware/UpdateFirmware.h"

#include <string>

#include "core/Text.h"
#include "firmware/FirmwareImage.h"
#include "firmware/SerialFlash.h"
#include "firmware/UsbFlash.h"
#include "link/UsbLink.h"
#include "protocol/LinkExchange.h"

namespace rq {
namespace {

void ShowError(OperationContext& ctx, const std::string& text) {
    ctx.dialogs.messageBox(text, "Error", DialogIcon::Stop, DialogButtons::Ok);
}

std::string Code(ImageFailure failure) {
    return text::DecimalWithBlank(static_cast<int>(failure));
}

}  // namespace

Outcome UpdateFirmware(OperationContext& ctx, FlashProgress* progress) {
    ProgramState& s = ctx.state;
    const ImageFailure read = ReadFirmwareFile(s);
    if (IsOpenFailure(read)) {
        ShowError(ctx, "Open binary file error! " + Code(read));
        s.LinkStatus = LinkState::Empty;
        return Outcome::BadInput;
    }
    const ImageCheck check =
        read == ImageFailure::None ? CheckFirmwareImage(s) : ImageCheck{read, false, {}};
    if (check.failure != ImageFailure::None || !check.markerMatches) {
        ShowError(ctx, "File: " + text::PathForDisplay(s.ChosenFilePath) +
                           " is not firmware for RQ-4720! " + Code(check.failure));
        return Outcome::BadInput;
    }
    const std::string question = "The version message of binary file: \n" + check.version +
                                 "\n\nAre you sure to start flash ?\n";
    if (ctx.dialogs.messageBox(question, "Firmware Update", DialogIcon::Question,
                               DialogButtons::OkCancel) == DialogAnswer::Cancel) {
        return Outcome::Declined;
    }

    // From here on LinkStatus ends empty, and an exception from a device closes it.
    const OperationLinkGuard guard(ctx);
    SearchUsbReader(ctx);
    if (s.LinkStatus == LinkState::Ok) {
        return FlashOverUsb(ctx, progress);
    }
    return FlashOverSerial(ctx, progress);
}

}  // namespace rq
