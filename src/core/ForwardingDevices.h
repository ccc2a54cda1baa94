#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "core/HidLibrary.h"
#include "core/SerialPort.h"

namespace rq {

// A serial port that passes every call to another one. A view of a port (one place of
// the bench, a port held across two operations, a recording in a test) derives from it
// and overrides only the calls it changes.
class ForwardingSerialPort : public SerialPort {
  public:
    explicit ForwardingSerialPort(SerialPort& port) : port_(port) {}
    ForwardingSerialPort(const ForwardingSerialPort&) = delete;
    ForwardingSerialPort& operator=(const ForwardingSerialPort&) = delete;

    void setCommPort(int port) override { port_.setCommPort(port); }
    [[nodiscard]] int commPort() const override { return port_.commPort(); }
    SerialFailure setSettings(std::string_view settings) override {
        return port_.setSettings(settings);
    }
    [[nodiscard]] std::string_view settings() const override { return port_.settings(); }
    void setInputMode(int mode) override { port_.setInputMode(mode); }
    [[nodiscard]] bool isOpen() const override { return port_.isOpen(); }
    SerialFailure open() override { return port_.open(); }
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
    [[nodiscard]] int placeBeyondSearch() const override { return port_.placeBeyondSearch(); }

  protected:
    [[nodiscard]] SerialPort& inner() const { return port_; }

  private:
    SerialPort& port_;
};

// The same for the HID library.
class ForwardingHidLibrary : public HidLibrary {
  public:
    explicit ForwardingHidLibrary(HidLibrary& hid) : hid_(hid) {}
    ForwardingHidLibrary(const ForwardingHidLibrary&) = delete;
    ForwardingHidLibrary& operator=(const ForwardingHidLibrary&) = delete;

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override {
        return hid_.HidDevice_GetNumHidDevices(vendorId, productId);
    }
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override {
        return hid_.HidDevice_Open(device, deviceIndex, vendorId, productId, numInputBuffers);
    }
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

  protected:
    [[nodiscard]] HidLibrary& inner() const { return hid_; }

  private:
    HidLibrary& hid_;
};

}  // namespace rq
