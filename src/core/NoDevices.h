#pragma once

#include <string>

#include "core/HidLibrary.h"
#include "core/SerialPort.h"

namespace rq {

// A place with no device: no reader is ever attached on USB (a serial probe, which must
// not touch the program's HID library; tests that need no device).
class NoHidLibrary final : public HidLibrary {
  public:
    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t, std::uint16_t) override { return 0; }
    std::uint8_t HidDevice_Open(HidDeviceRef&, std::uint32_t, std::uint16_t, std::uint16_t,
                                std::uint32_t) override {
        return kHidDeviceNotFound;
    }
    void HidDevice_GetHandle(HidDeviceRef) override {}
    std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef) override { return 0; }
    std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef) override { return 0; }
    std::uint8_t HidDevice_SetOutputReport_Interrupt(HidDeviceRef,
                                                     std::span<const std::uint8_t>) override {
        return kHidDeviceNotOpened;
    }
    std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef, std::span<std::uint8_t>,
                                                    std::uint32_t,
                                                    std::uint32_t& bytesReturned) override {
        bytesReturned = 0;
        return kHidDeviceNotOpened;
    }
    std::uint8_t HidDevice_Close(HidDeviceRef) override { return kHidDeviceNotOpened; }
};

// ... and no serial port ever opens.
class NoSerialPort : public SerialPort {
  public:
    void setCommPort(int port) override { port_ = port; }
    [[nodiscard]] int commPort() const override { return port_; }
    SerialFailure setSettings(std::string_view settings) override {
        for (const char* accepted : {"9600,n,8,1", "19200,n,8,1", "57600,n,8,1", "115200,n,8,1"}) {
            if (settings == accepted) {
                settings_ = settings;
                return SerialFailure::None;
            }
        }
        return SerialFailure::SettingsRejected;
    }
    [[nodiscard]] std::string_view settings() const override { return settings_; }
    void setInputMode(int) override {}

    [[nodiscard]] bool isOpen() const override { return false; }
    SerialFailure open() override { return SerialFailure::OpenFailed; }
    void close() override {}

    SerialFailure inBufferCount(int& count) override {
        count = 0;
        return SerialFailure::PortNotOpen;
    }
    void discardInput() override {}
    void discardOutput() override {}
    SerialFailure output(std::span<const std::uint8_t>) override {
        return SerialFailure::PortNotOpen;
    }
    SerialFailure input(std::vector<std::uint8_t>& bytes) override {
        bytes.clear();
        return SerialFailure::PortNotOpen;
    }
    // A closed port fails at once; nothing to wait for.
    void waitForInput(std::chrono::nanoseconds) override {}
    void setReceiveHandler(std::function<void()>) override {}

  private:
    int port_ = 1;
    std::string settings_ = "9600,n,8,1";
};

}  // namespace rq
