#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/HidInventory.h"

namespace rq {

// A place where a reader could be: one HID device with the reader's IDs, or one
// serial port of the COM map.
struct ReaderPlace {
    enum class Link { Usb, Serial };
    Link link = Link::Serial;
    std::string device;        // the HID device's path, or the COM port's device
    std::string serialNumber;  // USB, where the device has one
    int comPort = 0;           // serial: 1 to 16
    std::string id;            // how a person names it: "usb:<serial or path>", "com3"

    // What the USB search of this place matches (a path or a serial number).
    [[nodiscard]] std::string usbKey() const { return id.substr(4); }
};

// Every place: the USB devices, then COM1 to COM16 where the map has a device
// (`comDevices[0]` is COM1). A USB device is named by its serial number where it has
// one that no other device shares (it stays when the reader re-enumerates), else by
// its path.
[[nodiscard]] std::vector<ReaderPlace> AllPlaces(std::span<const HidDeviceInfo> usb,
                                                 std::span<const std::string> comDevices);

// The place that `id` names among `places`: "usb:<path>" or "usb:<serial>" (a serial
// number no other device shares), "com3" (any
// case), or a serial device's path ("/dev/ttyUSB0", compared after `canonical`, which
// resolves symbolic links). nullopt when it names none of them.
[[nodiscard]] std::optional<ReaderPlace> FindPlace(
    std::string_view id, std::span<const ReaderPlace> places,
    const std::function<std::string(const std::string&)>& canonical);

}  // namespace rq
