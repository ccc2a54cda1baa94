#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rq {

// The usage of a top-level (application) collection.
struct HidUsage {
    std::uint16_t page = 0;
    std::uint16_t id = 0;

    friend bool operator==(const HidUsage&, const HidUsage&) = default;
};

// What the tool needs to know of a device's reports, taken from its report descriptor.
struct HidReportLayout {
    // Longest report of each kind in bytes, the report ID byte included (also for
    // unnumbered reports, which travel with ID 0); 0 when the device has none.
    std::uint16_t inputLength = 0;
    std::uint16_t outputLength = 0;
    // Whether the reports carry report IDs on the wire.
    bool numberedReports = false;
    // Top-level collections in descriptor order.
    std::vector<HidUsage> applications;
};

// Parses a HID report descriptor. A descriptor that is truncated or malformed gives an
// empty layout (both lengths 0), so a device with it never passes a length check.
[[nodiscard]] HidReportLayout ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor);

// True when every top-level collection is a keyboard, keypad or mouse: such an interface
// belongs to the system's input driver and is not one the tool talks to.
[[nodiscard]] bool IsSystemInputInterface(const HidReportLayout& layout);

// "/dev/hidrawN" -> "/sys/class/hidraw/hidrawN/device/report_descriptor"; nullopt for
// anything else, so a strange device path never leads outside that folder.
[[nodiscard]] std::optional<std::string> HidrawReportDescriptorPath(std::string_view devicePath);

}  // namespace rq
