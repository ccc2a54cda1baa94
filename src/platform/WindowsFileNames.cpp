#include "platform/WindowsFileNames.h"

#include <array>
#include <string>

namespace rq {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// The name the system compares: the last component without trailing dots and blanks,
// cut at its first dot, without the blanks before that dot.
std::string DeviceStem(std::string_view component) {
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
    }
    component = component.substr(0, component.find('.'));
    while (!component.empty() && component.back() == ' ') {
        component.remove_suffix(1);
    }
    return Upper(component);
}

bool IsDeviceName(const std::string& stem) {
    constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN",    "AUX",
                                                        "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view name : kNames) {
        if (stem == name) {
            return true;
        }
    }
    if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view number = std::string_view(stem).substr(3);
    // ¹ ² ³ in UTF-8, which Windows counts as the digits 1 to 3 here.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

std::optional<std::string_view> WindowsNonFileReason(std::string_view path) {
    std::string_view rest = path;
    if (rest.starts_with("\\\\.\\") || rest.starts_with("//./")) {
        return "a device path";
    }
    if (rest.starts_with("\\\\?\\")) {
        rest.remove_prefix(4);
        if (rest.starts_with("UNC\\")) {
            rest.remove_prefix(4);
        } else if (rest.size() < 2 || !IsLetter(rest[0]) || rest[1] != ':') {
            return "a device path";
        }
    }
    if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
        rest.remove_prefix(2);  // the drive
    }
    if (rest.find(':') != std::string_view::npos) {
        return "an alternate data stream (a name with ':')";
    }
    const auto slash = rest.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
    if (IsDeviceName(DeviceStem(name))) {
        return "a device name";
    }
    return std::nullopt;
}

}  // namespace rq
