#include "core/Text.h"

#include <array>
#include <cstdio>

namespace rq::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Characters of bytes 0x80 to 0x9F; the undefined five stay C1 controls.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the UTF-8 sequence that starts with `lead`, 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Decodes one character at `pos`, advancing it; malformed input gives U+FFFD and
// advances by one byte.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || pos + length > utf8.size()) {
        ++pos;
        return kReplacement;
    }
    if (length == 1) {
        ++pos;
        return lead;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (overlong || surrogate || value > 0x10FFFF) {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::u32string CodePoints(std::string_view utf8) {
    std::u32string result;
    result.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        result.push_back(NextCodePoint(utf8, pos));
    }
    return result;
}

std::string ToUtf8(std::u32string_view codePoints) {
    std::string result;
    result.reserve(codePoints.size());
    for (char32_t cp : codePoints) {
        AppendUtf8(result, cp);
    }
    return result;
}

std::string ToUtf8(char32_t codePoint) {
    std::string result;
    AppendUtf8(result, codePoint);
    return result;
}

std::string TerminalSafe(std::string_view text) {
    std::string shown;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t cp = NextCodePoint(text, pos);
        const bool malformed =
            cp == kReplacement && text.substr(start, pos - start) != "\xEF\xBF\xBD";
        if (malformed || (cp < 0x20 && cp != U'\t') || (cp >= 0x7F && cp <= 0x9F)) {
            char escaped[8];
            const auto value = malformed ? static_cast<unsigned char>(text[start]) : cp;
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(value));
            shown += escaped;
        } else {
            shown.append(text.substr(start, pos - start));
        }
    }
    return shown;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string result;
    result.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, pos);
        if (cp >= 0x10000) {
            result += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            result += static_cast<char16_t>(cp);
        }
    }
    return result;
}

std::string FromUtf16(std::u16string_view utf16) {
    std::string result;
    result.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            result += ToUtf8(0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            result += ToUtf8(U'\uFFFD');
        } else {
            result += ToUtf8(unit);
        }
    }
    return result;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++count) {
        NextCodePoint(utf8, pos);
    }
    return count;
}

std::string LeftCharacters(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < count && pos < utf8.size(); ++taken) {
        NextCodePoint(utf8, pos);
    }
    return std::string(utf8.substr(0, pos));
}

char32_t Cp1252ToCodePoint(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

std::optional<std::uint8_t> CodePointToCp1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<std::uint8_t>(codePoint);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::string DecodeCp1252(std::span<const std::uint8_t> bytes) {
    std::string result;
    result.reserve(bytes.size());
    for (std::uint8_t byte : bytes) {
        AppendUtf8(result, Cp1252ToCodePoint(byte));
    }
    return result;
}

std::string PathForDisplay(std::string_view path) {
    std::string result;
    result.reserve(path.size());
    for (std::size_t pos = 0; pos < path.size();) {
        const std::size_t start = pos;
        char32_t cp = NextCodePoint(path, pos);
        if (cp == kReplacement && pos == start + 1) {  // not a U+FFFD of the name's own
            cp = Cp1252ToCodePoint(static_cast<std::uint8_t>(path[start]));
        }
        AppendUtf8(result, cp);
    }
    return result;
}

Cp1252Encoding EncodeCp1252(std::string_view utf8) {
    Cp1252Encoding result;
    result.bytes.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, pos);
        const auto byte = CodePointToCp1252(cp);
        if (!byte) {
            result.unmappable = cp;
            return result;
        }
        result.bytes.push_back(*byte);
    }
    return result;
}

std::string Hex(unsigned value) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%X", value);
    return buffer.data();
}

std::string DecimalWithBlank(long long value) {
    std::string result = value < 0 ? std::string() : std::string(" ");
    result += std::to_string(value);
    return result;
}

std::string DescribeCharacter(char32_t codePoint) {
    std::array<char, 16> code{};
    std::snprintf(code.data(), code.size(), "U+%04X", static_cast<unsigned>(codePoint));
    return ToUtf8(codePoint) + " (" + code.data() + ")";
}

}  // namespace rq::text
