#pragma once

#include <optional>

#include "core/ForwardingDevices.h"

namespace rq::cli {

// `write --verify` runs two operations on one reader, each of which opens and closes its
// device. Between the two another program could take the reader (and a read-back would
// fail with no reason, or read another reader). While `keep` is on, a close only marks
// the device closed and the next open of the same port or device takes it up again, so
// the reader stays held from the write to the end of the read-back.
class KeptSerialPort final : public ForwardingSerialPort {
  public:
    using ForwardingSerialPort::ForwardingSerialPort;
    ~KeptSerialPort() override;

    void keep(bool on);

    void setCommPort(int port) override;
    [[nodiscard]] int commPort() const override { return commPort_; }
    [[nodiscard]] bool isOpen() const override { return open_; }
    SerialFailure open() override;
    void close() override;
    SerialFailure inBufferCount(int& count) override;
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    SerialFailure input(std::vector<std::uint8_t>& bytes) override;

  private:
    int commPort_ = 1;
    bool open_ = false;  // as the operations see it; the port below may stay open
    bool keep_ = false;
};

class KeptHidLibrary final : public ForwardingHidLibrary {
  public:
    using ForwardingHidLibrary::ForwardingHidLibrary;
    ~KeptHidLibrary() override;

    void keep(bool on);

    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override;
    std::uint8_t HidDevice_Close(HidDeviceRef device) override;

  private:
    struct Kept {
        HidDeviceRef device;
        std::uint32_t index;
    };
    std::optional<Kept> open_;  // the device the operations have open, or kept open
    bool closed_ = false;       // the operations closed open_, which stays open below
    bool keep_ = false;
};

}  // namespace rq::cli
