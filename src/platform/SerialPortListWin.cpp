#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialPortList.h"

namespace rq {
namespace {

// The numbers of the COM ports present: the system's DOS device names COM1, COM2, ...
// (a port's driver makes its name; under Wine the prefix's dosdevices links do).
std::vector<int> PresentComNumbers() {
    std::vector<wchar_t> names(64 * 1024);
    DWORD length = 0;
    while ((length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()))) ==
               0 &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < 16 * 1024 * 1024) {
        names.resize(names.size() * 2);
    }
    std::vector<int> numbers;
    for (std::size_t at = 0; at < length && names[at] != L'\0';) {
        const std::wstring_view name(names.data() + at);
        at += name.size() + 1;
        if (name.size() < 4 || std::towupper(name[0]) != L'C' || std::towupper(name[1]) != L'O' ||
            std::towupper(name[2]) != L'M') {
            continue;
        }
        std::string digits;
        for (const wchar_t c : name.substr(3)) {
            digits.push_back(c >= L'0' && c <= L'9' ? static_cast<char>(c) : 'x');
        }
        int number = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error == std::errc{} && end == digits.data() + digits.size() &&
            WindowsDeviceName(number)) {
            numbers.push_back(number);
        }
    }
    std::ranges::sort(numbers);
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

PresentSerialPorts CurrentSerialPorts() {
    PresentSerialPorts ports;
    // The variable maps ports as on Linux, here too in place of the system's names.
    if (const char* value = std::getenv(kSerialPortsVariable)) {
        SerialPortNumbering numbering = NumberSerialPorts(std::string_view(value), {});
        ports.map = numbering.map;
        ports.leftOut = std::move(numbering.leftOut);
        ports.configured = true;
        return ports;
    }
    for (const int number : PresentComNumbers()) {
        if (number <= kComPortCount) {
            ports.map.at(static_cast<std::size_t>(number - 1)) = *WindowsPortName(number);
        } else {
            ports.beyondSearch.push_back(number);
        }
    }
    return ports;
}

SerialPortMap CurrentSerialPortMap() {
    return CurrentSerialPorts().map;
}

}  // namespace rq
