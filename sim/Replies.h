#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "SimTypes.h"

namespace rq::sim {

// The reader's command codes; every command frame starts with ESC.
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kIdentify = 0x00;
inline constexpr std::uint8_t kReadVersion = 0x01;
inline constexpr std::uint8_t kReadSettings = 0x1C;
inline constexpr std::uint8_t kWriteSettings = 0x1D;
inline constexpr std::uint8_t kResetDefaults = 0x21;
inline constexpr std::uint8_t kFlashMode = 0xA8;

// Answers of the RS232 flash path.
inline constexpr std::uint8_t kFlashAck = 0xFA;
inline constexpr std::uint8_t kFlashRefused = 0x15;
// RS232 flash frames: data byte then 0x55; 0xFF 0xAA closes the image.
inline constexpr std::uint8_t kFlashDataMark = 0x55;
inline constexpr std::uint8_t kFlashEnd0 = 0xFF;
inline constexpr std::uint8_t kFlashEnd1 = 0xAA;

// The settings block sits at 0x0010 and is 31 bytes long; both settings commands carry
// these three bytes after their code.
inline constexpr std::uint8_t kBlockAddressHigh = 0x00;
inline constexpr std::uint8_t kBlockAddressLow = 0x10;
inline constexpr std::uint8_t kBlockLength = 0x1F;

// Length of an application-mode command frame (ESC and code included) by its code;
// nullopt for the flash-mode command, whose length depends on the link, and unknown codes.
[[nodiscard]] std::optional<std::size_t> ApplicationFrameLength(std::uint8_t command);

// Reply frames, as the reader sends them, without USB report framing.
[[nodiscard]] Bytes IdentifyReply(Revision revision);
[[nodiscard]] Bytes VersionReply(std::string_view text, bool crLf, int lengthExcess);
[[nodiscard]] Bytes SettingsReply(const SettingsBlock& block);
[[nodiscard]] Bytes WriteAcknowledgement();
[[nodiscard]] Bytes ResetEcho();

// Cuts a reply into 9-byte input reports (report ID 0, 8 bytes, zero padded), back to back.
[[nodiscard]] Bytes ToReports(std::span<const std::uint8_t> reply);

// What a reader outputs for an iButton ID (its characters, e.g. hexadecimal digits):
// prefix, the chosen part of the ID, postfix and delimiter, as the settings say.
[[nodiscard]] Bytes FormatIdOutput(const SettingsBlock& block, std::string_view id);
// The characters a reader outputs when the iButton is taken away.
[[nodiscard]] Bytes OnRemoveOutput(const SettingsBlock& block);

}  // namespace rq::sim
