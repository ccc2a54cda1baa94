#pragma once

#include <QSerialPort>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/SerialPort.h"
#include "platform/DeviceReports.h"
#include "platform/SerialPortList.h"
#include "platform/SerialPortMap.h"

namespace rq {

// The program's serial port on Linux: Qt SerialPort opens and sets the device, the
// binding reads and writes it itself. COM n is the n-th entry of the port map
// (RQ4720_SERIAL_PORTS, else the system's serial devices; see SerialPortMap.h). DTR and
// RTS are raised while the port is open. (WinSerialPort is the Windows binding.)
//
// Delivery rule: the receive handler runs from the event loop only, never from inside
// one of this object's calls. Qt announces new bytes inside its own blocking waits too;
// those announcements are dropped and the bytes stay buffered for the caller's polling.
//
// A device that goes away while open (adapter unplugged, pty master closed) is released
// at once; the port stays open as far as the caller sees it, and every read reports
// ReadFailed (writes WriteFailed) until close(). When the event loop notices the loss,
// the receive handler runs once more, so that a port nobody polls learns of it.
//
// A port that exists but does not open (no permission, held by another program) is
// skipped like one that is not there; the reason goes to standard error, once a while.
class QtSerialPort final : public SerialPort {
  public:
    // `fixedMap`: COM n from this map instead of the environment or the system's list,
    // for a probe of one port on a thread of its own; such a port tells no reasons, its
    // caller diagnoses what did not open.
    explicit QtSerialPort(std::optional<SerialPortMap> fixedMap = std::nullopt);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    // Ignored while the port is open, as the control refuses it then.
    void setCommPort(int port) override;
    [[nodiscard]] int commPort() const override;
    SerialFailure setSettings(std::string_view settings) override;
    [[nodiscard]] std::string_view settings() const override;
    void setInputMode(int mode) override;

    [[nodiscard]] bool isOpen() const override;
    SerialFailure open() override;
    void close() override;

    SerialFailure inBufferCount(int& count) override;
    void discardInput() override;
    void discardOutput() override;
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    SerialFailure input(std::vector<std::uint8_t>& bytes) override;

    void waitForInput(std::chrono::nanoseconds maxWait) override;

    void setReceiveHandler(std::function<void()> handler) override;

  private:
    class CallScope;

    // The device path of COM `port`, nullopt when unmapped.
    std::optional<std::string> locationOf(int port);
    void reportUnopened(const std::string& location);
    // Moves what the OS holds into received_; false when the device has failed. `ready`:
    // the caller's wait has just seen bytes waiting.
    bool pullWaitingBytes(bool ready = false);
    // Moves what Qt read on its own (its notifier, from the event loop) into received_.
    void takeQtBuffer();
    void release();
    void deviceFailed();
    void deliverReceiveNotification();
    void runReceiveHandler();

    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    qint32 baudRate_ = 9600;
    [[maybe_unused]] int inputMode_ = 0;  // reads are bytes whatever the mode
    bool open_ = false;
    unsigned session_ = 0;  // counts opens, so a late failure notice hits no newer session
    bool failed_ = false;
    bool lowLatencyTurnedOn_ = false;               // by our open: undone when the port closes
    std::vector<std::uint8_t> takenBeforeFailure_;  // read from the device before it failed
    int callDepth_ = 0;
    std::function<void()> receiveHandler_;
    std::vector<std::uint8_t> received_;  // taken from the device, not yet from us
    // When a look found nothing more in the OS.
    std::optional<std::chrono::steady_clock::time_point> emptyAt_;
    // The system's serial devices as last listed, and when (listing them takes a while).
    std::vector<std::string> foundDevices_;
    std::optional<std::chrono::steady_clock::time_point> foundAt_;
    std::optional<SerialPortMap> fixedMap_;
    UnopenedPortReports unopenedReports_;
    QSerialPort port_;  // last: destroyed first, while the state its signals use is alive
};

}  // namespace rq
