#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "protocol/ReaderCommand.h"
#include "settings/ReaderSettings.h"

namespace rq {

// The reader's 31 bytes of output settings, as they travel after the 5-byte header of
// the two settings commands.
using SettingsBlock = std::array<std::uint8_t, kSettingsBlockLength>;

// Offsets of the fields inside the block.
namespace block {
inline constexpr std::size_t kBaud = 0;
inline constexpr std::size_t kPs2KbLock = 1;
inline constexpr std::size_t kDelimiter = 2;
inline constexpr std::size_t kStartFrom = 3;  // 0-based on the reader
inline constexpr std::size_t kCharCount = 4;
inline constexpr std::size_t kPrefixLength = 5;  // the text follows its length byte
inline constexpr std::size_t kPostfixLength = 13;
inline constexpr std::size_t kOnRemoveLength = 21;
inline constexpr std::size_t kBuzzer = 29;
inline constexpr std::size_t kCapsLock = 30;
inline constexpr std::size_t kTextBytes = 7;  // each text is blank-padded to 7 bytes
inline constexpr std::uint8_t kPadding = 32;
inline constexpr std::uint8_t kPs2KbLockOn = 255;
}  // namespace block

// The three texts of the settings, named by the labels the window shows beside them.
enum class TextField { Prefix, Postfix, OnRemove };
[[nodiscard]] std::string_view FieldLabel(TextField field);

// A character the reader's 8-bit code page cannot hold, so the settings cannot be written.
struct UnencodableCharacter {
    TextField field;
    char32_t character;
    friend bool operator==(const UnencodableCharacter&, const UnencodableCharacter&) = default;
};

using EncodedSettings = std::variant<SettingsBlock, UnencodableCharacter>;

// Builds the block from the window's settings. Out-of-range numbers fall back silently
// (startFrom to the first character, charCount to 16); texts go out as Windows-1252,
// at most 7 characters each. The first character the code page lacks refuses the block.
[[nodiscard]] EncodedSettings EncodeSettings(const ReaderSettings& settings);

// Sets the fields from a settings reply: `reply` starts at block offset 0 and may run on
// past the 31 block bytes (the USB reply carries 4 more). Codes are normalised, texts
// read as Windows-1252 and never longer than 7 characters. A revision A reader has no
// forced Caps Lock: its box is cleared and disabled; a revision B read enables it again.
// Bytes missing from a short reply leave their fields as they were.
void DecodeSettings(std::span<const std::uint8_t> reply, bool revisionB, ReaderSettings& settings);

}  // namespace rq
