#pragma once

#include <optional>

#include "core/HidLibrary.h"
#include "core/SerialPort.h"

namespace rq::cli {

// `write --verify` runs two operations on one reader, each of which opens and closes its
// device. Between the two another program could take the reader (and a read-back would
// fail with no reason, or read another reader). While `keep` is on, a close only marks
// the device closed and the next open of the same port or device takes it up again, so
// the reader stays held from the write to the end of the read-back.
class KeptSerialPort final : public SerialPort {
  public:
    explicit KeptSerialPort(SerialPort& port) : port_(port) {}
    KeptSerialPort(const KeptSerialPort&) = delete;
    KeptSerialPort& operator=(const KeptSerialPort&) = delete;
    ~KeptSerialPort() override;

    void keep(bool on);

    void setCommPort(int port) override;
    [[nodiscard]] int commPort() const override { return commPort_; }
    SerialFailure setSettings(std::string_view settings) override {
        return port_.setSettings(settings);
    }
    [[nodiscard]] std::string_view settings() const override { return port_.settings(); }
    void setInputMode(int mode) override { port_.setInputMode(mode); }
    [[nodiscard]] bool isOpen() const override { return open_; }
    SerialFailure open() override;
    void close() override;
    SerialFailure inBufferCount(int& count) override;
    void discardInput() override { port_.discardInput(); }
    void discardOutput() override { port_.discardOutput(); }
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    SerialFailure input(std::vector<std::uint8_t>& bytes) override;
    void waitForInput(std::chrono::nanoseconds maxWait) override { port_.waitForInput(maxWait); }
    void setReceiveHandler(std::function<void()> handler) override {
        port_.setReceiveHandler(std::move(handler));
    }

  private:
    SerialPort& port_;
    int commPort_ = 1;
    bool open_ = false;  // as the operations see it; the port below may stay open
    bool keep_ = false;
};

class KeptHidLibrary final : public HidLibrary {
  public:
    explicit KeptHidLibrary(HidLibrary& hid) : hid_(hid) {}
    KeptHidLibrary(const KeptHidLibrary&) = delete;
    KeptHidLibrary& operator=(const KeptHidLibrary&) = delete;
    ~KeptHidLibrary() override;

    void keep(bool on);

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override {
        return hid_.HidDevice_GetNumHidDevices(vendorId, productId);
    }
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
    std::uint8_t HidDevice_Close(HidDeviceRef device) override;

  private:
    struct Kept {
        HidDeviceRef device;
        std::uint32_t index;
    };
    HidLibrary& hid_;
    std::optional<Kept> open_;  // the device the operations have open, or kept open
    bool closed_ = false;       // the operations closed open_, which stays open below
    bool keep_ = false;
};

}  // namespace rq::cli
