#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rq {

// One device the HID library would open for the reader's IDs.
struct HidDeviceInfo {
    std::uint32_t index = 0;   // what HidDevice_Open takes for it
    std::string path;          // the system's name for it, e.g. /dev/hidraw3
    std::string serialNumber;  // empty when the device has none
};

// Where each device with the reader's IDs is: the eight calls of the reader's library
// cannot tell, but a bench that holds several readers must name one.
class HidInventory {
  public:
    virtual ~HidInventory() = default;

    // The devices in index order; interfaces the library never opens (the reader's
    // keyboard) are left out, so indexes may have gaps.
    [[nodiscard]] virtual std::vector<HidDeviceInfo> listHidDevices(std::uint16_t vendorId,
                                                                    std::uint16_t productId) = 0;
};

}  // namespace rq
