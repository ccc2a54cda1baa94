#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "SimTypes.h"

namespace rq::sim {

// A firmware image of our own for the demonstration and the tests, laid out as the
// reader's images are: at offsets 28-29 and 36-37 the big-endian addresses (offset 0 is
// address 0x1500) of the version text and of the marker "4720IV"; the version text ends
// with a zero byte; every other byte is our own filler. `length` is raised to what the
// texts need.
[[nodiscard]] Bytes MakeSampleFirmware(std::size_t length, std::string_view version);

// The version text of an image laid out that way, as a reader finds it after a flash;
// nullopt when the image has no marker where its pointer says.
[[nodiscard]] std::optional<std::string> FirmwareVersionOf(std::span<const std::uint8_t> image);

}  // namespace rq::sim
