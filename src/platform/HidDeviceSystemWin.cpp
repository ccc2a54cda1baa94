// The report lengths and usages from the Windows HID API. Each top-level collection is a
// device interface of its own there, so a reader's keyboard shows as a separate path.
#include <windows.h>
// After windows.h; it brings hidusage.h and hidpi.h in the order they need. MinGW's
// HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
}

#include <vector>

#include "core/Text.h"
#include "platform/HidDeviceSystem.h"

namespace rq::hidsystem {
namespace {

// Whether any input item carries a report ID: the reports are then numbered on the wire.
bool HasReportIds(PHIDP_PREPARSED_DATA data, const HIDP_CAPS& caps) {
    USHORT count = caps.NumberInputButtonCaps;
    std::vector<HIDP_BUTTON_CAPS> buttons(count);
    if (count > 0 &&
        HidP_GetButtonCaps(HidP_Input, buttons.data(), &count, data) == HIDP_STATUS_SUCCESS) {
        for (USHORT i = 0; i < count; ++i) {
            if (buttons[i].ReportID != 0) {
                return true;
            }
        }
    }
    count = caps.NumberInputValueCaps;
    std::vector<HIDP_VALUE_CAPS> values(count);
    if (count > 0 &&
        HidP_GetValueCaps(HidP_Input, values.data(), &count, data) == HIDP_STATUS_SUCCESS) {
        for (USHORT i = 0; i < count; ++i) {
            if (values[i].ReportID != 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::optional<HidReportLayout> ReportLayoutOf(const std::string& path) {
    const std::u16string units = text::ToUtf16(path);
    const std::wstring wide(units.begin(), units.end());
    // No access asked: this open succeeds also on a keyboard the system holds.
    const HANDLE device = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<HidReportLayout> layout;
    PHIDP_PREPARSED_DATA data = nullptr;
    if (HidD_GetPreparsedData(device, &data)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(data, &caps) == HIDP_STATUS_SUCCESS) {
            // The lengths count the report ID byte, 0 for unnumbered reports, as the
            // tool's do.
            layout = HidReportLayout{caps.InputReportByteLength,
                                     caps.OutputReportByteLength,
                                     HasReportIds(data, caps),
                                     {{caps.UsagePage, caps.Usage}}};
        }
        HidD_FreePreparsedData(data);
    }
    ::CloseHandle(device);
    return layout;
}

std::string OpenFailureReason(const std::string& /*path*/, const std::string& hidapiError) {
    return hidapiError;
}

}  // namespace rq::hidsystem
