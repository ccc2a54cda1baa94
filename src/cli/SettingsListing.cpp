#include "cli/SettingsListing.h"

#include "cli/Json.h"

#include <cstdio>
#include <span>
#include <sstream>

namespace rq::cli {
namespace {

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

}  // namespace

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

std::string SettingsJson(const ReaderSettings& s) {
    return JsonObject()
        .text("prefix", s.prefix)
        .number("start", s.startFrom)
        .number("number", s.charCount)
        .text("postfix", s.postfix)
        .text("delimiter", ListText(DelimiterNames, s.delimiter))
        .text("onremove", s.onRemove)
        .flag("buzzer", s.buzzer)
        .text("baud", ListText(BaudNames, s.baudCode))
        .flag("ps2kblock", s.ps2KbLock)
        .flag("capslock", s.capsLock)
        .str();
}

std::vector<std::string> SettingsDifferences(const ReaderSettings& written,
                                             const ReaderSettings& read) {
    std::istringstream wrote(ListSettings(written));
    std::istringstream reads(ListSettings(read));
    std::vector<std::string> differences;
    for (std::string ours, theirs; std::getline(wrote, ours) && std::getline(reads, theirs);) {
        if (ours != theirs) {
            const std::size_t equals = ours.find(" = ");
            differences.push_back(ours.substr(0, equals) + ": wrote " + ours.substr(equals + 3) +
                                  ", reads " + theirs.substr(equals + 3));
        }
    }
    return differences;
}

}  // namespace rq::cli
