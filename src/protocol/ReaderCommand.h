#pragma once

#include <array>
#include <cstdint>

namespace rq {

// Every command frame starts with ESC and a command code; the reader's reply repeats both.
inline constexpr std::uint8_t kEsc = 27;

enum class ReaderCommand : std::uint8_t {
    Identify = 0,
    ReadVersion = 1,
    ReadSettingsBlock = 28,
    WriteSettingsBlock = 29,
    ResetDefaults = 33,  // '!'
    FlashMode = 168,
};

[[nodiscard]] constexpr std::uint8_t CommandByte(ReaderCommand command) {
    return static_cast<std::uint8_t>(command);
}

// The settings block lives at 0x0010 in the reader's memory and is 31 bytes long. The
// settings commands always address it whole: high address byte, low address byte, length.
inline constexpr std::uint8_t kSettingsAddressHigh = 0x00;
inline constexpr std::uint8_t kSettingsAddressLow = 0x10;
inline constexpr std::uint8_t kSettingsBlockLength = 31;

// Request frames as they travel on RS232 (over USB they follow the report ID 0).
inline constexpr std::array<std::uint8_t, 5> kReadSettingsRequest = {
    kEsc, CommandByte(ReaderCommand::ReadSettingsBlock), kSettingsAddressHigh, kSettingsAddressLow,
    kSettingsBlockLength};
inline constexpr std::array<std::uint8_t, 5> kWriteSettingsHeader = {
    kEsc, CommandByte(ReaderCommand::WriteSettingsBlock), kSettingsAddressHigh, kSettingsAddressLow,
    kSettingsBlockLength};
inline constexpr std::array<std::uint8_t, 4> kResetRequest = {
    kEsc, CommandByte(ReaderCommand::ResetDefaults), 1, 255};
inline constexpr std::array<std::uint8_t, 2> kReadVersionRequest = {
    kEsc, CommandByte(ReaderCommand::ReadVersion)};

// The reader acknowledges a settings write with the address, 1 and 0xAA.
inline constexpr std::array<std::uint8_t, 6> kWriteAcknowledgement = {
    kEsc,
    CommandByte(ReaderCommand::WriteSettingsBlock),
    kSettingsAddressHigh,
    kSettingsAddressLow,
    1,
    0xAA};
// A settings read answers with the request's 5 bytes, then the block.
inline constexpr std::array<std::uint8_t, 5> kReadSettingsReplyHeader = kReadSettingsRequest;
// A reset is echoed byte for byte.
inline constexpr std::array<std::uint8_t, 4> kResetEcho = kResetRequest;
// A version reply starts with ESC, 1, then a length byte and the text.
inline constexpr std::array<std::uint8_t, 2> kVersionReplyHeader = kReadVersionRequest;

}  // namespace rq
