#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/HidInventory.h"
#include "core/HidLibrary.h"
#include "core/SerialPort.h"

namespace rq {

// The HID library as a search limited to one place sees it: only the devices whose
// path or serial number is `key` (none for an empty key; every device for nullopt, which
// only notes the path opened). Indexes are renumbered, so SearchUsbReader runs
// unchanged; the inventory is asked afresh at every count and open.
class OneHidPlace final : public HidLibrary {
  public:
    OneHidPlace(HidLibrary& hid, HidInventory& inventory, std::optional<std::string> key);

    // The device of the last successful open; empty before one.
    [[nodiscard]] const std::string& openedPath() const { return openedPath_; }

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override;
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override;
    void HidDevice_GetHandle(HidDeviceRef device) override { hid_.HidDevice_GetHandle(device); }
    std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef device) override {
        return hid_.HidDevice_GetInputReportBufferLength(device);
    }
    std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef device) override {
        return hid_.HidDevice_GetOutputReportBufferLength(device);
    }
    std::uint8_t HidDevice_SetOutputReport_Interrupt(
        HidDeviceRef device, std::span<const std::uint8_t> report) override {
        return hid_.HidDevice_SetOutputReport_Interrupt(device, report);
    }
    std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                    std::span<std::uint8_t> buffer,
                                                    std::uint32_t numberOfReports,
                                                    std::uint32_t& bytesReturned) override {
        return hid_.HidDevice_GetInputReport_Interrupt(device, buffer, numberOfReports,
                                                       bytesReturned);
    }
    std::uint8_t HidDevice_Close(HidDeviceRef device) override {
        return hid_.HidDevice_Close(device);
    }

  private:
    std::vector<HidDeviceInfo> matching(std::uint16_t vendorId, std::uint16_t productId);

    HidLibrary& hid_;
    HidInventory& inventory_;
    std::optional<std::string> key_;
    std::string openedPath_;
};

// The serial port as a search limited to one place sees it: every COM number but
// `comPort` fails to open, as a number with no device does (0: all of them).
class OneSerialPlace final : public SerialPort {
  public:
    OneSerialPlace(SerialPort& port, int comPort) : port_(port), comPort_(comPort) {}

    void setCommPort(int port) override { port_.setCommPort(port); }
    [[nodiscard]] int commPort() const override { return port_.commPort(); }
    SerialFailure setSettings(std::string_view settings) override {
        return port_.setSettings(settings);
    }
    [[nodiscard]] std::string_view settings() const override { return port_.settings(); }
    void setInputMode(int mode) override { port_.setInputMode(mode); }
    [[nodiscard]] bool isOpen() const override { return port_.isOpen(); }
    SerialFailure open() override {
        return port_.isOpen() || port_.commPort() == comPort_ ? port_.open()
                                                              : SerialFailure::OpenFailed;
    }
    void close() override { port_.close(); }
    SerialFailure inBufferCount(int& count) override { return port_.inBufferCount(count); }
    void discardInput() override { port_.discardInput(); }
    void discardOutput() override { port_.discardOutput(); }
    SerialFailure output(std::span<const std::uint8_t> bytes) override {
        return port_.output(bytes);
    }
    SerialFailure input(std::vector<std::uint8_t>& bytes) override { return port_.input(bytes); }
    void waitForInput(std::chrono::nanoseconds maxWait) override { port_.waitForInput(maxWait); }
    void setReceiveHandler(std::function<void()> handler) override {
        port_.setReceiveHandler(std::move(handler));
    }
    [[nodiscard]] int placeBeyondSearch() const override {
        return comPort_ > kLastSearchedPort ? comPort_ : 0;
    }

  private:
    static constexpr int kLastSearchedPort = 16;
    SerialPort& port_;
    int comPort_;
};

}  // namespace rq
