#include "platform/HidapiLibrary.h"

#include "platform/DeviceDiagnosis.h"
#include "platform/DeviceReports.h"

#include <hidapi.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <vector>

#include "platform/HidDeviceSystem.h"

namespace rq {
namespace {

// Longest report descriptor a HID device may have.
[[maybe_unused]] constexpr std::size_t kMaxDescriptorBytes = 4096;

struct FoundDevice {
    std::string path;
    std::string serialNumber;
};

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text) {
        narrow += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    }
    return narrow;
}

std::vector<FoundDevice> EnumerateDevices(std::uint16_t vendorId, std::uint16_t productId) {
    const std::unique_ptr<hid_device_info, decltype(&hid_free_enumeration)> list(
        hid_enumerate(vendorId, productId), &hid_free_enumeration);
    std::vector<FoundDevice> devices;
    for (const hid_device_info* info = list.get(); info != nullptr; info = info->next) {
        if (info->path != nullptr && *info->path != '\0') {
            devices.push_back({info->path, Narrow(info->serial_number)});
        }
    }
    // hidapi's order follows the system's; sorting keeps an index on the same device
    // between the count and the open. One device node may be listed once per usage.
    std::ranges::sort(devices, {}, &FoundDevice::path);
    const auto repeated = std::ranges::unique(devices, {}, &FoundDevice::path);
    devices.erase(repeated.begin(), repeated.end());
    return devices;
}

std::vector<std::string> EnumeratePaths(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<std::string> paths;
    for (FoundDevice& device : EnumerateDevices(vendorId, productId)) {
        paths.push_back(std::move(device.path));
    }
    return paths;
}

std::optional<std::vector<std::uint8_t>> ReadDescriptorAfterOpen([[maybe_unused]] hid_device* dev) {
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
    std::vector<std::uint8_t> bytes(kMaxDescriptorBytes);
    const int length = hid_get_report_descriptor(dev, bytes.data(), bytes.size());
    if (length < 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
#else
    return std::nullopt;
#endif
}

std::string HidErrorText() {
    const wchar_t* text = hid_error(nullptr);
    return text == nullptr ? "unknown error" : Narrow(text);
}

// The search only says that no reader could be opened; the reason (usually missing
// permissions on the device node) goes to standard error for the person setting it up.
void ReportOpenFailure(const std::string& path) {
    TellDeviceProblem(path, "cannot open: " + hidsystem::OpenFailureReason(path, HidErrorText()));
}

}  // namespace

HidapiLibrary::Runtime::Runtime() : ready(hid_init() == 0) {}

HidapiLibrary::Runtime::~Runtime() {
    if (ready) {
        hid_exit();
    }
}

void HidapiLibrary::CloseDevice::operator()(hid_device_* device) const {
    hid_close(device);
}

HidapiLibrary::HidapiLibrary() = default;

HidapiLibrary::~HidapiLibrary() = default;

HidapiLibrary::OpenDevice* HidapiLibrary::find(HidDeviceRef device) {
    const auto it = devices_.find(device);
    return it == devices_.end() ? nullptr : &it->second;
}

HidDeviceRef HidapiLibrary::nextReference() {
    // Never 0 (the tool's "nothing opened yet") and never one still in use.
    do {
        ++lastReference_;
    } while (lastReference_ == 0 || devices_.contains(lastReference_));
    return lastReference_;
}

std::uint32_t HidapiLibrary::HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                                        std::uint16_t productId) {
    if (!runtime_.ready) {
        return 0;
    }
    return static_cast<std::uint32_t>(EnumeratePaths(vendorId, productId).size());
}

std::uint8_t HidapiLibrary::HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                           std::uint16_t vendorId, std::uint16_t productId,
                                           std::uint32_t /*numInputBuffers*/) {
    if (!runtime_.ready) {
        return kHidSystemError;
    }
    const std::vector<std::string> paths = EnumeratePaths(vendorId, productId);
    if (deviceIndex >= paths.size()) {
        return kHidDeviceNotFound;
    }
    const std::string& path = paths[deviceIndex];
    if (std::any_of(devices_.begin(), devices_.end(),
                    [&](const auto& entry) { return entry.second.path == path; })) {
        return kHidDeviceAlreadyOpened;
    }

    // A reader that also types its IDs has a keyboard interface with the same IDs. That
    // one belongs to the system's keyboard driver, so it is refused like a device that
    // cannot be opened (without a complaint) and the search moves on to the next index.
    std::optional<HidReportLayout> layout = hidsystem::ReportLayoutOf(path);
    if (layout && IsSystemInputInterface(*layout)) {
        return kHidDeviceNotOpened;
    }

    // Held before it is opened, so that a copy that holds it is not disturbed at all.
    ExclusiveHold hold;
    if (hold.take(path) == ExclusiveHold::Result::Busy) {
        TellDeviceProblem(path, DescribeProblem({NodeState::Busy, {}, HolderOf(path)}, true));
        return kHidDeviceNotOpened;
    }
    std::unique_ptr<hid_device_, CloseDevice> handle(hid_open_path(path.c_str()));
    if (!handle) {
        ReportOpenFailure(path);
        return kHidDeviceNotOpened;
    }
    if (!layout) {
        if (const auto descriptor = ReadDescriptorAfterOpen(handle.get())) {
            layout = ParseHidReportDescriptor(*descriptor);
            if (IsSystemInputInterface(*layout)) {
                return kHidDeviceNotOpened;
            }
        }
    }

    const HidDeviceRef reference = nextReference();
    devices_.emplace(reference, OpenDevice{std::move(hold), std::move(handle), path,
                                           layout.value_or(HidReportLayout{})});
    device = reference;
    return kHidSuccess;
}

void HidapiLibrary::HidDevice_GetHandle(HidDeviceRef /*device*/) {}

std::uint16_t HidapiLibrary::HidDevice_GetInputReportBufferLength(HidDeviceRef device) {
    const OpenDevice* open = find(device);
    return open != nullptr ? open->layout.inputLength : 0;
}

std::uint16_t HidapiLibrary::HidDevice_GetOutputReportBufferLength(HidDeviceRef device) {
    const OpenDevice* open = find(device);
    return open != nullptr ? open->layout.outputLength : 0;
}

std::uint8_t HidapiLibrary::HidDevice_SetOutputReport_Interrupt(
    HidDeviceRef device, std::span<const std::uint8_t> report) {
    OpenDevice* open = find(device);
    if (open == nullptr) {
        return kHidDeviceNotOpened;
    }
    if (report.empty()) {
        return kHidInvalidBuffer;
    }
    // The report ID (0 for the reader's unnumbered reports) leads the bytes, as hidapi wants.
    const int written = hid_write(open->handle.get(), report.data(), report.size());
    return written == static_cast<int>(report.size()) ? kHidSuccess : kHidTransferFailed;
}

std::uint8_t HidapiLibrary::HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                               std::span<std::uint8_t> buffer,
                                                               std::uint32_t numberOfReports,
                                                               std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    OpenDevice* open = find(device);
    if (open == nullptr) {
        return kHidDeviceNotOpened;
    }
    hid_device* handle = open->handle.get();
    // The reader answers within milliseconds; kHidReportTimeoutMs bounds the wait for a
    // report that never comes (a silent or restarting reader) without stalling the search.
    const hidapi::ReadOneReport readOne = [handle](std::span<std::uint8_t> into) {
        return hid_read_timeout(handle, into.data(), into.size(), kHidReportTimeoutMs);
    };
    return hidapi::ReadInputReports(readOne, open->layout.numberedReports, buffer, numberOfReports,
                                    bytesReturned);
}

std::vector<HidDeviceInfo> HidapiLibrary::listHidDevices(std::uint16_t vendorId,
                                                         std::uint16_t productId) {
    std::vector<HidDeviceInfo> listed;
    if (!runtime_.ready) {
        return listed;
    }
    const std::vector<FoundDevice> devices = EnumerateDevices(vendorId, productId);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        // The reader's keyboard interface is the system's, as HidDevice_Open sees it.
        const auto layout = hidsystem::ReportLayoutOf(devices[i].path);
        if (!layout || !IsSystemInputInterface(*layout)) {
            listed.push_back(
                {static_cast<std::uint32_t>(i), devices[i].path, devices[i].serialNumber});
        }
    }
    return listed;
}

std::uint8_t HidapiLibrary::HidDevice_Close(HidDeviceRef device) {
    // The tool also closes references that are not open (0 before the first open).
    return devices_.erase(device) == 1 ? kHidSuccess : kHidDeviceNotOpened;
}

namespace hidapi {

std::uint8_t ReadInputReports(const ReadOneReport& readOne, bool numberedReports,
                              std::span<std::uint8_t> buffer, std::uint32_t count,
                              std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    if (static_cast<std::uint64_t>(count) * kReportSlot > buffer.size()) {
        return kHidInvalidBuffer;
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::span<std::uint8_t> slot = buffer.subspan(k * kReportSlot, kReportSlot);
        const std::span<std::uint8_t> into = numberedReports ? slot : slot.subspan(1);
        const int length = readOne(into);
        if (length == 0) {
            return kHidTransferTimeout;
        }
        if (length < 0) {
            return kHidTransferFailed;
        }
        if (!numberedReports) {
            slot[0] = 0;
        }
        // A short report leaves no stale bytes of an earlier answer in its slot.
        const std::size_t received = std::min(static_cast<std::size_t>(length), into.size());
        std::fill(into.begin() + static_cast<std::ptrdiff_t>(received), into.end(), 0);
        bytesReturned += kReportSlot;
    }
    return kHidSuccess;
}

}  // namespace hidapi

}  // namespace rq
