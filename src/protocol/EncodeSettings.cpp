#include <optional>

#include "core/Text.h"
#include "protocol/SettingsBlock.h"

namespace rq {
namespace {

// Writes one text as its length byte and 7 blank-padded bytes. Only the 7 characters
// that fit are sent, and the length byte never claims more.
std::optional<char32_t> PutText(std::string_view utf8, std::size_t lengthOffset,
                                SettingsBlock& out) {
    const std::string shown = text::LeftCharacters(utf8, block::kTextBytes);
    const text::Cp1252Encoding encoded = text::EncodeCp1252(shown);
    if (encoded.unmappable) {
        return encoded.unmappable;
    }
    out.at(lengthOffset) = static_cast<std::uint8_t>(encoded.bytes.size());
    for (std::size_t i = 0; i < block::kTextBytes; ++i) {
        out.at(lengthOffset + 1 + i) =
            i < encoded.bytes.size() ? encoded.bytes[i] : block::kPadding;
    }
    return std::nullopt;
}

std::uint8_t OnOff(bool on) {
    return on ? 1 : 0;
}

}  // namespace

std::string_view FieldLabel(TextField field) {
    switch (field) {
        case TextField::Prefix:
            return "Prefix characters:";
        case TextField::Postfix:
            return "Postfix characters:";
        case TextField::OnRemove:
            return "Onremove characters:";
    }
    return {};
}

EncodedSettings EncodeSettings(const ReaderSettings& settings) {
    SettingsBlock out{};

    const struct {
        TextField field;
        const std::string& value;
        std::size_t lengthOffset;
    } texts[] = {
        {TextField::Prefix, settings.prefix, block::kPrefixLength},
        {TextField::Postfix, settings.postfix, block::kPostfixLength},
        {TextField::OnRemove, settings.onRemove, block::kOnRemoveLength},
    };
    for (const auto& t : texts) {
        if (const auto bad = PutText(t.value, t.lengthOffset, out)) {
            return UnencodableCharacter{t.field, *bad};
        }
    }

    // The record only ever holds list codes; normalising keeps a stray value from
    // reaching the reader as a byte it would misread.
    out[block::kBaud] = static_cast<std::uint8_t>(NormaliseBaudCode(settings.baudCode));
    out[block::kPs2KbLock] = settings.ps2KbLock ? block::kPs2KbLockOn : 0;
    out[block::kDelimiter] = static_cast<std::uint8_t>(NormaliseDelimiterCode(settings.delimiter));

    const int start = settings.startFrom - 1;
    out[block::kStartFrom] = static_cast<std::uint8_t>((start < 0 || start > 15) ? 0 : start);
    const int count = settings.charCount;
    out[block::kCharCount] =
        static_cast<std::uint8_t>((count < kMinPosition || count > kMaxPosition) ? 16 : count);

    out[block::kBuzzer] = OnOff(settings.buzzer);
    out[block::kCapsLock] = OnOff(settings.capsLock);
    return out;
}

}  // namespace rq
