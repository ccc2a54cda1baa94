#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rq::sim {

using Bytes = std::vector<std::uint8_t>;
// Time on whatever clock drives the reader: virtual time in tests, the steady clock
// behind a pseudo-terminal.
using Duration = std::chrono::nanoseconds;

// The reader's HID reports: report ID 0 and 8 payload bytes.
inline constexpr std::size_t kReportSize = 9;
inline constexpr std::size_t kReportPayload = 8;
using Report = std::array<std::uint8_t, kReportSize>;

// The 31 bytes of the reader's settings memory at 0x0010.
inline constexpr std::size_t kSettingsSize = 31;
using SettingsBlock = std::array<std::uint8_t, kSettingsSize>;

enum class Revision { A, B };

}  // namespace rq::sim
