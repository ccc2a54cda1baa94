#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace rq {

// Failure codes of serial steps. The RS232 paths of the reader operations keep the
// code of the first failing step and print it after their error line; 0 is none.
enum class SerialFailure : int {
    None = 0,
    PortNotOpen = 1,       // a read or write on a closed port
    OpenFailed = 2,        // the port does not exist or is in use
    SettingsRejected = 3,  // not a "<baud>,n,8,1" text of the known rates
    WriteFailed = 4,       // the bytes could not be sent
    ReadFailed = 5,        // reading failed, e.g. the adapter was unplugged
    ReplyTooShort = 6,     // a reply holds fewer bytes than its length byte announces
};

[[nodiscard]] constexpr int FailureCode(SerialFailure failure) {
    return static_cast<int>(failure);
}

// The one serial port of the program, reached as COM1 to COM16.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Port number 1 to 16; set while the port is closed.
    virtual void setCommPort(int port) = 0;
    [[nodiscard]] virtual int commPort() const = 0;
    // Accepts only "<baud>,n,8,1" with a baud text of the reader's rates; otherwise
    // SettingsRejected and the previous settings stay. Applies at once to an open port.
    virtual SerialFailure setSettings(std::string_view settings) = 0;
    [[nodiscard]] virtual std::string_view settings() const = 0;
    // 1 = binary input. Kept for fidelity with the control's model; reads are bytes.
    virtual void setInputMode(int mode) = 0;

    [[nodiscard]] virtual bool isOpen() const = 0;
    // Opens COM<commPort()> with the current settings. A missing or busy port fails.
    virtual SerialFailure open() = 0;
    virtual void close() = 0;

    // Number of received bytes waiting, including what the OS has not handed over yet.
    virtual SerialFailure inBufferCount(int& count) = 0;
    // Discards received bytes (InBufferCount = 0) / bytes waiting to be sent.
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;
    // Sends all bytes in order.
    virtual SerialFailure output(std::span<const std::uint8_t> bytes) = 0;
    // Takes all waiting bytes in arrival order (empty when none). A port that has failed
    // hands out, with the failure, the bytes it had already taken from the device.
    virtual SerialFailure input(std::vector<std::uint8_t>& bytes) = 0;

    // Blocks in the OS until new bytes arrive, the port fails, or `maxWait` passes.
    // Never delivers the receive notification.
    virtual void waitForInput(std::chrono::nanoseconds maxWait) = 0;

    // Called on the window's thread when bytes have arrived while the port is open, or
    // once when the open port has failed; never inside a wait or an operation.
    virtual void setReceiveHandler(std::function<void()> handler) = 0;

    // A port that stands for one place named beyond COM16 (COM23, given by the operator):
    // its number, which a search then tries alone. 0: the search tries COM1 to COM16.
    [[nodiscard]] virtual int placeBeyondSearch() const { return 0; }
};

}  // namespace rq
