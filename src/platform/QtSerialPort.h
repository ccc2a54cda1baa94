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

#include "platform/BufferedSerialPort.h"
#include "platform/SerialPortList.h"

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
class QtSerialPort final : public BufferedSerialPort {
  public:
    // `fixedMap`: COM n from this map instead of the environment or the system's list.
    explicit QtSerialPort(std::optional<SerialPortMap> fixedMap = std::nullopt);
    ~QtSerialPort() override;

    SerialFailure setSettings(std::string_view settings) override;
    void setInputMode(int mode) override;
    SerialFailure open() override;
    void discardInput() override;
    void discardOutput() override;
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    void waitForInput(std::chrono::nanoseconds maxWait) override;

  private:
    // The device path of COM `port`, nullopt when unmapped.
    std::optional<std::string> locationOf(int port);
    bool pullWaitingBytes() override { return pullBytes(false); }
    // Moves what the OS holds into received_; false when the device has failed. `ready`:
    // the caller's wait has just seen bytes waiting.
    bool pullBytes(bool ready);
    // Moves what Qt read on its own (its notifier, from the event loop) into received_.
    void takeBytesReadAside() override;
    void release() override;
    void deliverReceiveNotification();

    qint32 baudRate_ = 9600;
    [[maybe_unused]] int inputMode_ = 0;  // reads are bytes whatever the mode
    unsigned session_ = 0;  // counts opens, so a late failure notice hits no newer session
    bool lowLatencyTurnedOn_ = false;  // by our open: undone when the port closes
    // When a look found nothing more in the OS.
    std::optional<std::chrono::steady_clock::time_point> emptyAt_;
    // The system's serial devices as last listed, and when (listing them takes a while).
    std::vector<std::string> foundDevices_;
    std::optional<std::chrono::steady_clock::time_point> foundAt_;
    QSerialPort port_;  // last: destroyed first, while the state its signals use is alive
};

}  // namespace rq
