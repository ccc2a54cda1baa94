#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/HidInventory.h"
#include "core/HidLibrary.h"
#include "platform/ExclusiveHold.h"
#include "platform/HidReportDescriptor.h"

struct hid_device_;

namespace rq {

// The reader's HID calls on hidapi (hidraw backend on Linux). One object per program:
// it owns hidapi's global state (hid_init / hid_exit) and every device it opened. An
// open device is held exclusively (ExclusiveHold): a device another copy of the tool
// holds is refused as busy, with the reason on standard error.
class HidapiLibrary final : public HidLibrary, public HidInventory {
  public:
    HidapiLibrary();
    ~HidapiLibrary() override;
    HidapiLibrary(const HidapiLibrary&) = delete;
    HidapiLibrary& operator=(const HidapiLibrary&) = delete;

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override;
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override;
    void HidDevice_GetHandle(HidDeviceRef device) override;
    std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef device) override;
    std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef device) override;
    std::uint8_t HidDevice_SetOutputReport_Interrupt(HidDeviceRef device,
                                                     std::span<const std::uint8_t> report) override;
    std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                    std::span<std::uint8_t> buffer,
                                                    std::uint32_t numberOfReports,
                                                    std::uint32_t& bytesReturned) override;
    std::uint8_t HidDevice_Close(HidDeviceRef device) override;

    [[nodiscard]] std::vector<HidDeviceInfo> listHidDevices(std::uint16_t vendorId,
                                                            std::uint16_t productId) override;

  private:
    struct Runtime {
        Runtime();
        ~Runtime();
        Runtime(const Runtime&) = delete;
        Runtime& operator=(const Runtime&) = delete;
        bool ready = false;
    };
    struct CloseDevice {
        void operator()(hid_device_* device) const;
    };
    struct OpenDevice {
        ExclusiveHold hold;  // released after the handle closes
        std::unique_ptr<hid_device_, CloseDevice> handle;
        std::string path;
        HidReportLayout layout;
    };

    OpenDevice* find(HidDeviceRef device);
    HidDeviceRef nextReference();

    Runtime runtime_;  // first member: devices close before hid_exit
    std::map<HidDeviceRef, OpenDevice> devices_;
    HidDeviceRef lastReference_ = 0;
};

namespace hidapi {

// Bytes of one report as the tool's buffers hold it: the report ID, then 8 payload bytes.
inline constexpr std::size_t kReportSlot = 9;

// Reads one report into the span; returns its length, 0 on timeout, negative on error.
using ReadOneReport = std::function<int(std::span<std::uint8_t>)>;

// Reads `count` reports one by one into `buffer`, report k at 9k. Unnumbered reports
// arrive without their ID, so the 0 is put in place; numbered ones carry it. Stops at the
// first report that does not come: bytesReturned counts whole reports received and the
// status is non-zero. A buffer shorter than 9 x count is refused before anything is read.
std::uint8_t ReadInputReports(const ReadOneReport& readOne, bool numberedReports,
                              std::span<std::uint8_t> buffer, std::uint32_t count,
                              std::uint32_t& bytesReturned);

}  // namespace hidapi

}  // namespace rq
