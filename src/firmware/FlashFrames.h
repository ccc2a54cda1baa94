#pragma once

#include <array>
#include <cstdint>

#include "firmware/EraseCode.h"
#include "protocol/ReaderCommand.h"

namespace rq {

// The frames of a firmware update. Both links start their flash-mode frames with ESC and
// the command byte FlashMode.
inline constexpr std::uint8_t kFlashModeCommand = CommandByte(ReaderCommand::FlashMode);

// The erase request: 0x1A and the erase code, 13 bytes.
inline constexpr std::size_t kEraseRequestSize = 1 + kEraseCode.size();
[[nodiscard]] constexpr std::array<std::uint8_t, kEraseRequestSize> EraseRequest() {
    std::array<std::uint8_t, kEraseRequestSize> request{kEraseCommand};
    for (std::size_t i = 0; i < kEraseCode.size(); ++i) {
        request[i + 1] = kEraseCode[i];
    }
    return request;
}

// A USB reader in flash mode confirms the flash-mode command with ESC, FlashMode and six
// bytes. Which six a real reader sends is not settled, so both known answers count.
inline constexpr std::array<std::uint8_t, 6> kFlashModeAnswerJpUsb = {0x4A, 0x50, 0x2D,
                                                                      0x55, 0x53, 0x42};
inline constexpr std::array<std::uint8_t, 6> kFlashModeAnswerDaRur = {'D', 'A', '-', 'R', 'U', 'R'};
inline constexpr std::array kFlashModeAnswers = {kFlashModeAnswerJpUsb, kFlashModeAnswerDaRur};

// Image bytes per USB data report, and a progress dot every this many bytes.
inline constexpr int kUsbBlockBytes = 6;
inline constexpr int kUsbDotBytes = 48;

// RS232: the flash-mode command (sent at 9600 baud), the speed check (at 57600), the
// mark after each image byte and the end of the image. Every frame is answered by one byte.
inline constexpr std::array<std::uint8_t, 3> kSerialFlashModeCommand = {kEsc, kFlashModeCommand,
                                                                        0x02};
inline constexpr std::uint8_t kFlashAck = 0xFA;
inline constexpr std::uint8_t kFlashCompareError = 0x07;
inline constexpr std::array<std::uint8_t, 1> kSpeedCheck = {kFlashAck};
inline constexpr std::uint8_t kDataMark = 0x55;
inline constexpr std::array<std::uint8_t, 2> kEndOfImage = {0xFF, 0xAA};
inline constexpr int kSerialDotBytes = 50;

}  // namespace rq
