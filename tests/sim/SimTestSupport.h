#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "firmware/EraseCode.h"

namespace rq::sim::testing {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Built with push_back: GCC 12 at -O3 warns falsely about vector::insert into short vectors.
inline Bytes Join(std::initializer_list<Bytes> parts) {
    std::size_t size = 0;
    for (const Bytes& part : parts) {
        size += part.size();
    }
    Bytes joined;
    joined.reserve(size);
    for (const Bytes& part : parts) {
        for (const std::uint8_t byte : part) {
            joined.push_back(byte);
        }
    }
    return joined;
}

// An output report: ID 0 and the payload, zero padded to 9 bytes.
inline Bytes OutputReport(const Bytes& payload) {
    Bytes report(9, 0);
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), 8), report.begin() + 1);
    return report;
}

inline Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The erase request: 0x1A and the 12-byte code.
inline Bytes EraseRequest() {
    Bytes request(1 + kEraseCode.size(), kEraseCommand);
    std::copy(kEraseCode.begin(), kEraseCode.end(), request.begin() + 1);
    return request;
}

// The factory settings block, written out byte by byte.
inline Bytes DefaultBlock() {
    return {0,  0,  0,  0,  16, 0, 32, 32, 32, 32, 32, 32, 32, 0, 32, 32,
            32, 32, 32, 32, 32, 0, 32, 32, 32, 32, 32, 32, 32, 1, 0};
}

// A block with the given baud code and a non-default value in most bytes: PS/2 lock,
// TAB, from character 3, 8 characters, prefix "AB", postfix "#", on-remove "xyz",
// buzzer off, Caps Lock on.
inline Bytes SampleBlock(std::uint8_t baudCode = 0) {
    return {baudCode, 255, 3,  2,  8,  2, 'A', 'B', 32,  32, 32, 32, 32, 1, '#', 32,
            32,       32,  32, 32, 32, 3, 'x', 'y', 'z', 32, 32, 32, 32, 0, 1};
}

}  // namespace rq::sim::testing
