#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "SimTypes.h"

namespace rq::sim {

// The block a reader leaves the factory with, and returns to on a reset.
[[nodiscard]] SettingsBlock FactorySettings();

// Serial rates by the code in settings byte 0; codes without a rate give 9600, as the
// reader falls back to its first rate.
[[nodiscard]] int BaudForCode(std::uint8_t code);
// The code of a rate the reader supports (9600, 19200, 57600, 115200).
[[nodiscard]] std::optional<std::uint8_t> CodeForBaud(int baud);

// The two answers to the USB flash-mode command that readers are known by.
inline constexpr const char* kFlashModeTextJpUsb = "JP-USB";
inline constexpr const char* kFlashModeTextDaRur = "DA-RUR";

// How one simulated reader is built. Times are measured on the clock that drives it.
struct ReaderConfig {
    Revision revision = Revision::B;
    // Version text, one byte per character.
    std::string version = "V2.20";
    // CR LF after the version text, outside its length byte, as readers send it.
    bool versionCrLf = true;
    // Settings at power-up; byte 0 decides the RS232 rate.
    SettingsBlock settings = FactorySettings();

    // From the end of a request to the start of the reply.
    Duration replyLatency = std::chrono::milliseconds(2);
    // RS232 bytes take their line time (10 bits a byte at the rate); off, they arrive at
    // once, which leaves only the host's own turnaround to measure.
    bool lineTime = true;
    // After an erase over USB the reader is off the bus this long.
    Duration usbRebootTime = std::chrono::seconds(3);
    // After an erase over RS232 the reader sends its ready byte at 9600 baud this late.
    Duration serialRebootTime = std::chrono::seconds(2);
    // The six characters that follow 1B A8 in the answer to the USB flash-mode command:
    // the bytes 4A 50 2D 55 53 42, or kFlashModeTextDaRur for a reader that answers so.
    std::string flashModeText = kFlashModeTextJpUsb;
    // The length report is answered by its echo and a second report.
    bool lengthSecondReport = true;
};

}  // namespace rq::sim
