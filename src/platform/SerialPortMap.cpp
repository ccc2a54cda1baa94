#include "platform/SerialPortMap.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <utility>

namespace rq {
namespace {

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// USB-to-RS232 adapters come first: they are where a reader is usually found.
int Group(std::string_view name) {
    if (name.starts_with("ttyUSB")) {
        return 0;
    }
    if (name.starts_with("ttyACM")) {
        return 1;
    }
    return 2;
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Compares names piecewise, runs of digits by their value: ttyS2 < ttyS10.
bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::size_t startA = i;
            const std::size_t startB = j;
            while (i < a.size() && IsDigit(a[i])) {
                ++i;
            }
            while (j < b.size() && IsDigit(b[j])) {
                ++j;
            }
            std::string_view numA = a.substr(startA, i - startA);
            std::string_view numB = b.substr(startB, j - startB);
            // Leading zeros do not change the value; compare without them.
            const auto strip = [](std::string_view n) {
                const std::size_t first = n.find_first_not_of('0');
                return first == std::string_view::npos ? std::string_view{} : n.substr(first);
            };
            numA = strip(numA);
            numB = strip(numB);
            if (numA.size() != numB.size()) {
                return numA.size() < numB.size();
            }
            if (numA != numB) {
                return numA < numB;
            }
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) {
        return a.size() - i < b.size() - j;
    }
    return a < b;  // equal by value (ttyS01 vs ttyS1): keep a strict, total order
}

}  // namespace

SerialPortMap BuildSerialPortMap(std::optional<std::string_view> configured,
                                 std::vector<std::string> foundDevices) {
    return NumberSerialPorts(configured, std::move(foundDevices)).map;
}

SerialPortNumbering NumberSerialPorts(std::optional<std::string_view> configured,
                                      std::vector<std::string> foundDevices) {
    SerialPortNumbering numbering;
    SerialPortMap& map = numbering.map;
    if (configured) {
        std::string_view rest = *configured;
        for (std::size_t entry = 0;; ++entry) {
            const std::size_t colon = rest.find(':');
            const std::string_view path = rest.substr(0, colon);
            if (entry < map.size()) {
                map[entry] = std::string(path);
            } else if (!path.empty()) {
                numbering.leftOut.emplace_back(path);
            }
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
        return numbering;
    }

    std::sort(foundDevices.begin(), foundDevices.end(),
              [](const std::string& a, const std::string& b) {
                  const std::string_view nameA = BaseName(a);
                  const std::string_view nameB = BaseName(b);
                  if (Group(nameA) != Group(nameB)) {
                      return Group(nameA) < Group(nameB);
                  }
                  if (nameA != nameB) {
                      return NaturalLess(nameA, nameB);
                  }
                  return a < b;
              });
    foundDevices.erase(std::unique(foundDevices.begin(), foundDevices.end()), foundDevices.end());
    std::erase(foundDevices, std::string{});
    const std::size_t used = std::min(foundDevices.size(), map.size());
    std::copy_n(foundDevices.begin(), used, map.begin());
    numbering.leftOut.assign(foundDevices.begin() + static_cast<std::ptrdiff_t>(used),
                             foundDevices.end());
    return numbering;
}

std::string LeftOutPortsNote(const std::vector<std::string>& leftOut, bool configured) {
    if (leftOut.empty()) {
        return {};
    }
    std::string names;
    for (const std::string& path : leftOut) {
        names += (names.empty() ? "" : ", ") + path;
    }
    const std::string total = std::to_string(leftOut.size() + kComPortCount);
    return configured ? std::string(kSerialPortsVariable) + " lists " + total +
                            " ports, but COM1 to COM16 take only the first 16; left out: " + names
                      : total +
                            " serial ports found, but COM1 to COM16 take only the first 16; "
                            "left out: " +
                            names + " (" + kSerialPortsVariable + " chooses the 16)";
}

std::optional<std::string> PortPathFor(const SerialPortMap& map, int port) {
    if (port < 1 || port > kComPortCount || map[static_cast<std::size_t>(port - 1)].empty()) {
        return std::nullopt;
    }
    return map[static_cast<std::size_t>(port - 1)];
}

std::optional<std::string> WindowsPortName(int port) {
    return port <= kComPortCount ? WindowsDeviceName(port) : std::nullopt;
}

std::optional<std::string> WindowsDeviceName(int port) {
    constexpr int kLastWindowsPort = 255;
    if (port < 1 || port > kLastWindowsPort) {
        return std::nullopt;
    }
    return (port >= 10 ? "\\\\.\\COM" : "COM") + std::to_string(port);
}

}  // namespace rq
