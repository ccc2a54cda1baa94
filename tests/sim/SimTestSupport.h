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

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

inline Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The erase request: 0x1A and the 12-byte code.
inline Bytes EraseRequest() {
    Bytes request{kEraseCommand};
    request.insert(request.end(), kEraseCode.begin(), kEraseCode.end());
    return request;
}

// The factory settings block, written out byte by byte.
inline Bytes DefaultBlock() {
    Bytes block{0, 0, 0, 0, 16, 0};
    block.insert(block.end(), 7, 32);
    block.push_back(0);
    block.insert(block.end(), 7, 32);
    block.push_back(0);
    block.insert(block.end(), 7, 32);
    block.push_back(1);
    block.push_back(0);
    return block;
}

// A block with a distinct value in every byte and the given baud code.
inline Bytes SampleBlock(std::uint8_t baudCode = 0) {
    Bytes block{baudCode, 255, 3, 2, 8, 2, 'A', 'B', 32, 32, 32, 32, 32};
    block.insert(block.end(), {1, '#', 32, 32, 32, 32, 32, 32});
    block.insert(block.end(), {3, 'x', 'y', 'z', 32, 32, 32, 32});
    block.insert(block.end(), {0, 1});
    return block;
}

}  // namespace rq::sim::testing
