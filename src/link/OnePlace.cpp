#include "link/OnePlace.h"

#include <algorithm>

namespace rq {

OneHidPlace::OneHidPlace(HidLibrary& hid, HidInventory& inventory, std::optional<std::string> key)
    : ForwardingHidLibrary(hid), inventory_(inventory), key_(std::move(key)) {}

std::vector<HidDeviceInfo> OneHidPlace::matching(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<HidDeviceInfo> devices;
    if (key_ && !key_->empty()) {
        devices = inventory_.listHidDevices(vendorId, productId);
        std::erase_if(devices, [this](const HidDeviceInfo& device) {
            return device.path != *key_ && device.serialNumber != *key_;
        });
    }
    return devices;
}

std::uint32_t OneHidPlace::HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                                      std::uint16_t productId) {
    if (!key_) {
        return inner().HidDevice_GetNumHidDevices(vendorId, productId);
    }
    return static_cast<std::uint32_t>(matching(vendorId, productId).size());
}

std::uint8_t OneHidPlace::HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                         std::uint16_t vendorId, std::uint16_t productId,
                                         std::uint32_t numInputBuffers) {
    if (!key_) {
        const std::uint8_t status =
            inner().HidDevice_Open(device, deviceIndex, vendorId, productId, numInputBuffers);
        if (status == kHidSuccess) {
            const auto listed = inventory_.listHidDevices(vendorId, productId);
            const auto opened = std::ranges::find(listed, deviceIndex, &HidDeviceInfo::index);
            openedPath_ = opened == listed.end() ? std::string() : opened->path;
        }
        return status;
    }
    const std::vector<HidDeviceInfo> devices = matching(vendorId, productId);
    if (deviceIndex >= devices.size()) {
        return kHidDeviceNotFound;
    }
    const std::uint8_t status = inner().HidDevice_Open(device, devices[deviceIndex].index, vendorId,
                                                       productId, numInputBuffers);
    if (status == kHidSuccess) {
        openedPath_ = devices[deviceIndex].path;
    }
    return status;
}

}  // namespace rq
