#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ReaderModel.h"
#include "SimTypes.h"
#include "core/Clock.h"
#include "core/SerialPort.h"

namespace rq::sim {

// The serial port control over simulated COM ports, driven by a clock (virtual time in
// tests). A reader on a port hears the host only when the port runs at the reader's rate;
// bytes at another rate are noise to it, and its own bytes are noise to the host.
// Everything written is recorded per port with its rate.
class SimSerialPort final : public SerialPort {
  public:
    explicit SimSerialPort(Clock& clock);

    // COM ports 1 to 16. A reader must outlive the port.
    void attachReader(int port, ReaderModel& reader);
    void addSilentPort(int port);  // opens, takes bytes, never answers
    void addBusyPort(int port);    // in use by another program: open fails
    // The adapter behind a port is pulled: reads and writes fail, reopening fails.
    void unplug(int port);

    // Ignored while the port is open, as the control refuses it then.
    void setCommPort(int port) override;
    [[nodiscard]] int commPort() const override { return commPort_; }
    SerialFailure setSettings(std::string_view settings) override;
    [[nodiscard]] std::string_view settings() const override { return settings_; }
    void setInputMode(int mode) override { inputMode_ = mode; }
    [[nodiscard]] bool isOpen() const override { return openPort_ != 0; }
    SerialFailure open() override;
    void close() override;
    SerialFailure inBufferCount(int& count) override;
    void discardInput() override;
    void discardOutput() override {}
    SerialFailure output(std::span<const std::uint8_t> bytes) override;
    SerialFailure input(std::vector<std::uint8_t>& bytes) override;
    void waitForInput(std::chrono::nanoseconds maxWait) override;
    void setReceiveHandler(std::function<void()> handler) override;

    // The window's event loop comes round: the receive handler runs when bytes wait, and
    // once after the open port's adapter was pulled.
    bool deliverReceiveNotification();

    // --- What the host did
    struct Write {
        int port = 0;
        int baud = 0;
        Bytes bytes;
        Duration at{};
    };
    struct OpenAttempt {
        int port = 0;
        std::string settings;
        bool opened = false;
        Duration at{};
    };
    [[nodiscard]] const std::vector<Write>& writes() const { return writes_; }
    [[nodiscard]] std::vector<Write> writesTo(int port) const;
    [[nodiscard]] const std::vector<OpenAttempt>& openAttempts() const { return opens_; }
    [[nodiscard]] int closes() const { return closes_; }
    [[nodiscard]] int inputMode() const { return inputMode_; }
    [[nodiscard]] int baud() const { return baud_; }
    void clearRecords();

  private:
    enum class Kind { Reader, Silent, Busy };
    struct Port {
        Kind kind = Kind::Silent;
        ReaderModel* reader = nullptr;  // not owned
        bool unplugged = false;
    };

    Port* openEntry();
    [[nodiscard]] bool failing();
    // Moves what the reader sent and has arrived by now into the input buffer.
    void pump();

    Clock& clock_;
    std::map<int, Port> ports_;
    int commPort_ = 1;
    int openPort_ = 0;
    std::string settings_ = "9600,n,8,1";
    int baud_ = 9600;
    int inputMode_ = 0;
    Bytes received_;
    bool failureNotified_ = false;
    std::function<void()> receiveHandler_;

    std::vector<Write> writes_;
    std::vector<OpenAttempt> opens_;
    int closes_ = 0;
};

// The rate of a "<baud>,n,8,1" text of the reader's rates; 0 for any other text.
[[nodiscard]] int BaudOfSettings(std::string_view settings);

}  // namespace rq::sim
