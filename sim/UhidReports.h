#pragma once

#include <linux/uhid.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "SimTypes.h"

namespace rq::sim::uhid {

// The reader's interfaces as the kernel sees them: the vendor interface that carries the
// command reports, and the keyboard that types iButton IDs.
enum class Interface { Vendor, Keyboard };

// Vendor-defined page: one application collection with one 8-byte input and one 8-byte
// output report, without report IDs.
[[nodiscard]] std::span<const std::uint8_t> VendorDescriptor();
// A boot keyboard: modifiers, reserved byte, six keys; five LEDs out.
[[nodiscard]] std::span<const std::uint8_t> KeyboardDescriptor();

struct Identity {
    std::uint16_t vendorId = 0x10C4;
    std::uint16_t productId = 0x84B7;
    std::string serialNumber;
};

// The event that makes one interface appear on the USB bus.
[[nodiscard]] uhid_event CreateEvent(const Identity& identity, Interface interface);
[[nodiscard]] uhid_event DestroyEvent();
// An input report: the payload only, as unnumbered reports travel.
[[nodiscard]] uhid_event InputEvent(std::span<const std::uint8_t> payload);

// What the kernel asks of the device, and what the reader makes of it.
struct Request {
    // An output report as the model takes it: report ID 0 first, then the payload.
    std::optional<Report> outputReport;
    // The answer to a request that waits for one (GET_REPORT, SET_REPORT).
    std::optional<uhid_event> reply;
};

// One event read from /dev/uhid. hidraw hands an unnumbered output report over with the
// 0 the host put in front of it, which a USB device would not see: it is dropped.
// Control requests are refused: the reader has no feature reports.
[[nodiscard]] Request Handle(const uhid_event& event);

}  // namespace rq::sim::uhid
