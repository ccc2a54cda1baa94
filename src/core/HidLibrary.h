#pragma once

#include <cstdint>
#include <span>

namespace rq {

// Reference to an open HID device, as the library hands it out.
using HidDeviceRef = std::uint32_t;

// Status bytes of the HID library. Only 0 has a meaning that callers rely on.
inline constexpr std::uint8_t kHidSuccess = 0x00;
inline constexpr std::uint8_t kHidDeviceNotFound = 0x01;
inline constexpr std::uint8_t kHidDeviceNotOpened = 0x02;
inline constexpr std::uint8_t kHidDeviceAlreadyOpened = 0x03;
inline constexpr std::uint8_t kHidTransferTimeout = 0x04;
inline constexpr std::uint8_t kHidTransferFailed = 0x05;
inline constexpr std::uint8_t kHidInvalidBuffer = 0x06;
inline constexpr std::uint8_t kHidSystemError = 0xFF;

// The reader's USB identity.
inline constexpr std::uint16_t kReaderVendorId = 0x10C4;
inline constexpr std::uint16_t kReaderProductId = 0x84B7;

// Per-report wait of the HID read when the reader sends fewer reports than asked for.
// Both the hidapi binding and the simulated reader's library use it.
inline constexpr int kHidReportTimeoutMs = 500;

// The eight calls of the reader's HID device library; the tool makes no others.
// Reports are 9 bytes with the report ID (always 0) first.
class HidLibrary {
  public:
    virtual ~HidLibrary() = default;

    // Number of attached devices with these IDs; they are opened by index 0 .. count - 1.
    virtual std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                                     std::uint16_t productId) = 0;
    // 0 means open and `device` refers to it; anything else means try the next index.
    virtual std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                        std::uint16_t vendorId, std::uint16_t productId,
                                        std::uint32_t numInputBuffers) = 0;
    // The system handle of the device; the tool only calls it.
    virtual void HidDevice_GetHandle(HidDeviceRef device) = 0;
    // Report lengths in bytes, report ID included.
    virtual std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef device) = 0;
    virtual std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef device) = 0;
    // Sends one output report; the buffer size is report.size().
    virtual std::uint8_t HidDevice_SetOutputReport_Interrupt(
        HidDeviceRef device, std::span<const std::uint8_t> report) = 0;
    // Reads `numberOfReports` input reports back to back into `buffer` (report k at 9k,
    // its ID first); `bytesReturned` counts the bytes delivered. Non-zero status when
    // fewer reports arrived than asked for.
    virtual std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                            std::span<std::uint8_t> buffer,
                                                            std::uint32_t numberOfReports,
                                                            std::uint32_t& bytesReturned) = 0;
    // Also called with a reference that is not open, which must do no harm.
    virtual std::uint8_t HidDevice_Close(HidDeviceRef device) = 0;
};

}  // namespace rq
