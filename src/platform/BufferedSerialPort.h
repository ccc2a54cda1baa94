#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/SerialPort.h"
#include "platform/DeviceReports.h"
#include "platform/SerialPortMap.h"

namespace rq {

// What the serial bindings of both systems keep alike: the COM number and settings text
// a closed port keeps, the bytes taken from the device that the caller has not read yet,
// a device that failed while open (released at once; what it gave before is handed out
// by the next read, then every read reports ReadFailed until close()), and the depth of
// the binding's own calls, inside which no receive handler runs.
class BufferedSerialPort : public SerialPort {
  public:
    BufferedSerialPort(const BufferedSerialPort&) = delete;
    BufferedSerialPort& operator=(const BufferedSerialPort&) = delete;

    // Ignored while the port is open, as the control refuses it then.
    void setCommPort(int port) override;
    [[nodiscard]] int commPort() const override { return commPort_; }
    [[nodiscard]] std::string_view settings() const override { return settings_; }
    [[nodiscard]] bool isOpen() const override { return open_; }
    void close() override;
    SerialFailure inBufferCount(int& count) override;
    SerialFailure input(std::vector<std::uint8_t>& bytes) override;
    void setReceiveHandler(std::function<void()> handler) override;

  protected:
    // `fixedMap`: COM n from this map, for a probe of one port on a thread of its own;
    // such a port tells no reasons, its caller diagnoses what did not open.
    explicit BufferedSerialPort(std::optional<SerialPortMap> fixedMap);
    ~BufferedSerialPort() override = default;

    // Marks the time inside one of the binding's calls: the receive handler must not run
    // in the middle of an operation.
    class CallScope {
      public:
        explicit CallScope(BufferedSerialPort& port) : port_(port) { ++port_.callDepth_; }
        ~CallScope() { --port_.callDepth_; }
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

      private:
        BufferedSerialPort& port_;
    };

    // Moves what the system holds into received_; false when the device has failed.
    virtual bool pullWaitingBytes() = 0;
    // Closes the device, if any, and drops what was received from it.
    virtual void release() = 0;
    // Moves bytes read on the side (by the event loop) into received_ before a failure.
    virtual void takeBytesReadAside() {}
    // Called when the receive handler changes.
    virtual void receiveHandlerChanged() {}

    // The device just opened: a new session with nothing received and nothing failed.
    void opened();
    // The device went away: released at once so that a replugged adapter can come back.
    void deviceFailed();
    void reportUnopened(const std::string& location);
    // The receive handler, unless inside one of our calls or without an open port.
    void runReceiveHandler();

    [[nodiscard]] bool insideCall() const { return callDepth_ > 0; }
    [[nodiscard]] bool hasReceiveHandler() const { return static_cast<bool>(receiveHandler_); }

    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    bool open_ = false;
    bool failed_ = false;
    std::vector<std::uint8_t> received_;  // taken from the device, not yet from us
    const std::optional<SerialPortMap> fixedMap_;

  private:
    std::vector<std::uint8_t> takenBeforeFailure_;  // read from the device before it failed
    int callDepth_ = 0;
    std::function<void()> receiveHandler_;
    UnopenedPortReports unopenedReports_;
};

}  // namespace rq
