#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ForwardingDevices.h"
#include "core/HidInventory.h"

namespace rq {

// The HID library as a search limited to one place sees it: only the devices whose
// path or serial number is `key` (none for an empty key; every device for nullopt, which
// only notes the path opened). Indexes are renumbered, so SearchUsbReader runs
// unchanged; the inventory is asked afresh at every count and open.
class OneHidPlace final : public ForwardingHidLibrary {
  public:
    OneHidPlace(HidLibrary& hid, HidInventory& inventory, std::optional<std::string> key);

    // The device of the last successful open; empty before one.
    [[nodiscard]] const std::string& openedPath() const { return openedPath_; }

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override;
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override;

  private:
    std::vector<HidDeviceInfo> matching(std::uint16_t vendorId, std::uint16_t productId);

    HidInventory& inventory_;
    std::optional<std::string> key_;
    std::string openedPath_;
};

// The serial port as a search limited to one place sees it: every COM number but
// `comPort` fails to open, as a number with no device does (0: all of them).
class OneSerialPlace final : public ForwardingSerialPort {
  public:
    OneSerialPlace(SerialPort& port, int comPort) : ForwardingSerialPort(port), comPort_(comPort) {}

    SerialFailure open() override {
        return inner().isOpen() || inner().commPort() == comPort_ ? inner().open()
                                                                  : SerialFailure::OpenFailed;
    }
    [[nodiscard]] int placeBeyondSearch() const override {
        return comPort_ > kLastSearchedPort ? comPort_ : 0;
    }

  private:
    static constexpr int kLastSearchedPort = 16;
    int comPort_;
};

}  // namespace rq
