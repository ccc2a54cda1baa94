#include <algorithm>
#include <optional>

#include "core/Text.h"
#include "protocol/SettingsBlock.h"

namespace rq {
namespace {

std::optional<std::uint8_t> ByteAt(std::span<const std::uint8_t> reply, std::size_t offset) {
    if (offset >= reply.size()) {
        return std::nullopt;
    }
    return reply[offset];
}

// A length byte above 7 would pull the next field's length byte and characters into
// the text, which the next write would then send back as a wrong length.
void TakeText(std::span<const std::uint8_t> reply, std::size_t lengthOffset, std::string& out) {
    const auto length = ByteAt(reply, lengthOffset);
    if (!length) {
        return;
    }
    const std::size_t first = lengthOffset + 1;
    const std::size_t available = first < reply.size() ? reply.size() - first : 0;
    const std::size_t count =
        std::min({static_cast<std::size_t>(*length), block::kTextBytes, available});
    out = text::DecodeCp1252(reply.subspan(std::min(first, reply.size()), count));
}

}  // namespace

void DecodeSettings(std::span<const std::uint8_t> reply, bool revisionB, ReaderSettings& settings) {
    TakeText(reply, block::kPrefixLength, settings.prefix);
    TakeText(reply, block::kPostfixLength, settings.postfix);
    TakeText(reply, block::kOnRemoveLength, settings.onRemove);

    if (const auto b = ByteAt(reply, block::kBaud)) {
        settings.baudCode = NormaliseBaudCode(*b);
    }
    if (const auto b = ByteAt(reply, block::kPs2KbLock)) {
        settings.ps2KbLock = *b == block::kPs2KbLockOn;
    }
    if (const auto b = ByteAt(reply, block::kDelimiter)) {
        settings.delimiter = NormaliseDelimiterCode(*b);
    }
    if (const auto b = ByteAt(reply, block::kStartFrom)) {
        settings.startFrom = std::min(*b + 1, kMaxPosition);
    }
    if (const auto b = ByteAt(reply, block::kCharCount)) {
        settings.charCount = std::clamp(static_cast<int>(*b), kMinPosition, kMaxPosition);
    }
    if (const auto b = ByteAt(reply, block::kBuzzer)) {
        settings.buzzer = *b != 0;
    }
    if (!revisionB) {
        settings.capsLock = false;
        settings.capsLockEnabled = false;
    } else if (const auto b = ByteAt(reply, block::kCapsLock)) {
        settings.capsLock = *b != 0;
        settings.capsLockEnabled = true;
    }
}

}  // namespace rq
