#include "cli/ConsoleBytes.h"

#include <cstdio>

#include "core/Text.h"

namespace rq::cli {
namespace {

bool DrivesTerminal(char32_t c) {
    const bool layout = c == U'\r' || c == U'\n' || c == U'\t';
    return (c < 0x20 && !layout) || (c >= 0x7F && c <= 0x9F);
}

std::string Visible(std::string_view utf8) {
    std::string shown;
    for (const char32_t c : text::CodePoints(utf8)) {
        if (DrivesTerminal(c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
            shown += escaped;
        } else {
            shown += text::ToUtf8(c);
        }
    }
    return shown;
}

}  // namespace

std::string ConsoleText(std::string_view utf8, ByteStyle style) {
    switch (style) {
        case ByteStyle::Text:
            break;
        case ByteStyle::Visible:
            return Visible(utf8);
        case ByteStyle::Raw:
            // Every character of the reader's came from one byte; our own texts are ASCII.
            if (const auto encoded = text::EncodeCp1252(utf8); !encoded.unmappable) {
                return {encoded.bytes.begin(), encoded.bytes.end()};
            }
            break;
    }
    return std::string(utf8);
}

}  // namespace rq::cli
