#pragma once

#include <array>
#include <cstdint>

namespace rq {

// The fixed code that must follow the erase command byte 0x1A before the reader
// erases its program memory. The same 12 bytes go out on USB and on RS232.
inline constexpr std::uint8_t kEraseCommand = 0x1A;
inline constexpr std::array<std::uint8_t, 12> kEraseCode = {
    0x47, 0x8E, 0x3D, 0xC1, 0x52, 0x09, 0xB7, 0x6A, 0xE4, 0x13, 0x7F, 0xA5,
};

}  // namespace rq
