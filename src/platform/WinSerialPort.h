#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BufferedSerialPort.h"
#include "platform/SerialPortList.h"

namespace rq {

// The program's serial port on Windows, on the system's own calls. COM n is COMn (also
// above COM16, for a command given that port), or the n-th entry of RQ4720_SERIAL_PORTS
// where it is set. 8N1 without flow control; DTR and RTS are raised while it is open.
//
// Every read and write is overlapped and ends on this binding's own clock: what the
// driver has not finished by the caller's deadline is cancelled. A read that waits for
// input asks for one byte, which completes at the first byte on Windows and under Wine
// alike (timeouts that end a read "at the first byte" are honoured only by Windows; Wine
// waits out their whole constant). A driver that never completes a cancelled transfer
// fails the port: the search goes on to the next one.
//
// Delivery rule and failures as on Linux: the receive handler runs from the event loop
// only (a timer looks for received bytes while a handler is set); a device that goes away
// is released at once and every read reports ReadFailed until close().
class WinSerialPort final : public BufferedSerialPort {
  public:
    explicit WinSerialPort(std::optional<SerialPortMap> fixedMap = std::nullopt);
    ~WinSerialPort() override;

    SerialFailure setSettings(std::string_view settings) override;
    void setInputMode(int mode) override;
    SerialFailure open() override;
    void close() override;
    void discardInput() override;
    void discardOutput() override;
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    void waitForInput(std::chrono::nanoseconds maxWait) override;

  private:
    class Device;  // the open port: its handle and its one transfer at a time

    [[nodiscard]] std::optional<std::string> locationOf(int port) const;
    // Moves what the driver holds into received_; false when the device has failed.
    bool pullWaitingBytes() override;
    void release() override;
    void receiveHandlerChanged() override { updatePolling(); }
    void updatePolling();
    void poll();

    std::uint32_t baudRate_ = 9600;
    bool failureTold_ = false;  // the handler has run once for the failure
    std::unique_ptr<Device> device_;
    QTimer pollTimer_;
};

}  // namespace rq
