#include "cli/SettingsListing.h"

#include "cli/Json.h"

#include <cstdio>
#include <span>

namespace rq::cli {
namespace {

// The last byte of the block: Caps Lock, which only revision B readers keep.
constexpr std::size_t kCapsLockOffset = 30;

std::string Quoted(std::string_view utf8) {
    std::string quoted = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string_view ListText(std::span<const std::string_view> names, int code) {
    return code >= 0 && static_cast<std::size_t>(code) < names.size()
               ? names[static_cast<std::size_t>(code)]
               : std::string_view{};
}

// The settings key each block byte belongs to.
std::string_view BlockKey(std::size_t offset) {
    constexpr std::string_view kKeys[] = {"baud", "ps2kblock", "delimiter", "start", "number"};
    if (offset < std::size(kKeys)) {
        return kKeys[offset];
    }
    if (offset < 13) {
        return offset == 5 ? "prefix length" : "prefix";
    }
    if (offset < 21) {
        return offset == 13 ? "postfix length" : "postfix";
    }
    if (offset < 29) {
        return offset == 21 ? "onremove length" : "onremove";
    }
    return offset == 29 ? "buzzer" : "capslock";
}

}  // namespace

std::vector<std::string> BlockDifferences(std::span<const std::uint8_t> written,
                                          std::span<const std::uint8_t> stored, bool revisionB) {
    std::vector<std::string> differences;
    const std::size_t compared = revisionB ? written.size() : kCapsLockOffset;
    for (std::size_t offset = 0; offset < compared; ++offset) {
        const int reads = offset < stored.size() ? stored[offset] : -1;
        if (reads != written[offset]) {
            differences.push_back(std::string(BlockKey(offset)) + " (block byte " +
                                  std::to_string(offset) + "): wrote " +
                                  std::to_string(written[offset]) + ", reads " +
                                  (reads < 0 ? "nothing" : std::to_string(reads)));
        }
    }
    return differences;
}

std::string ListSettings(const ReaderSettings& s) {
    const auto line = [](std::string_view key, const std::string& value) {
        return std::string(key) + " = " + value + "\n";
    };
    return line("prefix", Quoted(s.prefix)) + line("start", std::to_string(s.startFrom)) +
           line("number", std::to_string(s.charCount)) + line("postfix", Quoted(s.postfix)) +
           line("delimiter", std::string(ListText(DelimiterNames, s.delimiter))) +
           line("onremove", Quoted(s.onRemove)) + line("buzzer", s.buzzer ? "1" : "0") +
           line("baud", std::string(ListText(BaudNames, s.baudCode))) +
           line("ps2kblock", s.ps2KbLock ? "1" : "0") + line("capslock", s.capsLock ? "1" : "0");
}

QJsonObject SettingsJson(const ReaderSettings& s) {
    return {{"prefix", JsonText(s.prefix)},
            {"start", s.startFrom},
            {"number", s.charCount},
            {"postfix", JsonText(s.postfix)},
            {"delimiter", JsonText(ListText(DelimiterNames, s.delimiter))},
            {"onremove", JsonText(s.onRemove)},
            {"buzzer", s.buzzer},
            {"baud", JsonText(ListText(BaudNames, s.baudCode))},
            {"ps2kblock", s.ps2KbLock},
            {"capslock", s.capsLock}};
}

}  // namespace rq::cli
