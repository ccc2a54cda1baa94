#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Text helpers shared by the reader frames, the settings files and the status lines.
// Texts inside the program are UTF-8; the reader and the settings files use the
// Windows-1252 code page, one byte per character.
namespace rq::text {

// Unicode code points of a UTF-8 text; malformed bytes become U+FFFD.
[[nodiscard]] std::u32string CodePoints(std::string_view utf8);
[[nodiscard]] std::string ToUtf8(std::u32string_view codePoints);
[[nodiscard]] std::string ToUtf8(char32_t codePoint);
// UTF-16, as the wide calls of Windows take names; malformed bytes become U+FFFD.
[[nodiscard]] std::u16string ToUtf16(std::string_view utf8);
// UTF-8 of a UTF-16 text such as a Windows name, which may hold a surrogate without its
// partner (NTFS allows it): that one becomes U+FFFD instead of failing the conversion.
[[nodiscard]] std::string FromUtf16(std::u16string_view utf16);

// Number of characters (code points) of a UTF-8 text.
[[nodiscard]] std::size_t CharacterCount(std::string_view utf8);
// The first `count` characters of a UTF-8 text (all of it when shorter).
[[nodiscard]] std::string LeftCharacters(std::string_view utf8, std::size_t count);

// Windows-1252: every byte maps to one character. Bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value,
// so that any byte sequence survives a round trip.
[[nodiscard]] char32_t Cp1252ToCodePoint(std::uint8_t byte);
[[nodiscard]] std::optional<std::uint8_t> CodePointToCp1252(char32_t codePoint);
[[nodiscard]] std::string DecodeCp1252(std::span<const std::uint8_t> bytes);

// A path or file name as the system has it (bytes, which need not be UTF-8) as UTF-8
// text to show: valid UTF-8 stays, and each other byte shows as its Windows-1252
// character, the likely code page of a name copied from old media ("caf\xE9" shows as
// "café"). For display only: the bytes themselves name the file.
[[nodiscard]] std::string PathForDisplay(std::string_view path);

// A text from a reader, a file name or an argument as one line a terminal shows and
// does not obey: control characters (C0 but TAB, DEL, C1) and bytes that are not UTF-8
// show as "\x1b", so no escape sequence, line break or stray byte reaches the terminal.
[[nodiscard]] std::string TerminalSafe(std::string_view text);

struct Cp1252Encoding {
    std::vector<std::uint8_t> bytes;
    // The first character that Windows-1252 cannot hold; bytes is then incomplete.
    std::optional<char32_t> unmappable;
};
[[nodiscard]] Cp1252Encoding EncodeCp1252(std::string_view utf8);

// Status-line numbers: hexadecimal capitals without leading zeros ("1B", "0"), and
// decimal with a leading blank for values that are not negative (" 3", "-3").
[[nodiscard]] std::string Hex(unsigned value);
[[nodiscard]] std::string DecimalWithBlank(long long value);

// How a character is named in messages: the character itself and its code, "€ (U+20AC)".
[[nodiscard]] std::string DescribeCharacter(char32_t codePoint);

}  // namespace rq::text
