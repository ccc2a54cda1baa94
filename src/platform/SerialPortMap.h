#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rq {

inline constexpr int kComPortCount = 16;

// Device paths of COM1 to COM16 (index 0 is COM1); an empty entry is an unused number.
using SerialPortMap = std::array<std::string, kComPortCount>;

// Name of the environment variable that replaces the default port list.
inline constexpr const char* kSerialPortsVariable = "RQ4720_SERIAL_PORTS";

// Builds the COM number map.
// - `configured` (the variable's value when set) lists paths separated by ':'; the first
//   is COM1, an empty entry leaves its number unused, entries past COM16 are ignored.
//   A set but empty value therefore maps no port at all.
// - Otherwise the serial devices found are numbered in a stable order: USB adapters
//   first (ttyUSB*, then ttyACM*), then all others (ttyS*, ...), each group in natural
//   order of the device name (ttyUSB2 before ttyUSB10); duplicates count once.
[[nodiscard]] SerialPortMap BuildSerialPortMap(std::optional<std::string_view> configured,
                                               std::vector<std::string> foundDevices);

// The map as above, and the ports it has no number for: entries of the variable past the
// sixteenth, or devices found past the sixteenth, in the map's order.
struct SerialPortNumbering {
    SerialPortMap map;
    std::vector<std::string> leftOut;
};
[[nodiscard]] SerialPortNumbering NumberSerialPorts(std::optional<std::string_view> configured,
                                                    std::vector<std::string> foundDevices);

// One line for a person naming the ports `leftOut` of a numbering (`configured`: by the
// variable); empty when none is left out.
[[nodiscard]] std::string LeftOutPortsNote(const std::vector<std::string>& leftOut,
                                           bool configured);

// The device path of COM `port`, or nullopt for a number outside 1..16 or unused.
[[nodiscard]] std::optional<std::string> PortPathFor(const SerialPortMap& map, int port);

// Windows' own name of COM `port`: "COM1" to "COM9", then "\\.\COM10" and up (the device
// namespace, where the short names end); nullopt outside 1..16.
[[nodiscard]] std::optional<std::string> WindowsPortName(int port);

// Windows' own name of COM `port` for any number the system gives (1 to 255), also
// beyond the sixteen of the search; nullopt outside.
[[nodiscard]] std::optional<std::string> WindowsDeviceName(int port);

}  // namespace rq
