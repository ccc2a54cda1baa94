#include "SampleFirmware.h"

#include <algorithm>
#include <cstdint>

namespace rq::sim {
namespace {

constexpr std::size_t kBaseAddress = 0x1500;
constexpr std::size_t kVersionPointer = 28;
constexpr std::size_t kMarkerPointer = 36;
constexpr std::size_t kMarkerOffset = 40;
constexpr std::size_t kVersionOffset = 46;
constexpr std::string_view kMarker = "4720IV";

void PutAddress(Bytes& image, std::size_t at, std::size_t offset) {
    const std::size_t address = kBaseAddress + offset;
    image[at] = static_cast<std::uint8_t>(address >> 8);
    image[at + 1] = static_cast<std::uint8_t>(address & 0xFF);
}

std::optional<std::size_t> OffsetAt(std::span<const std::uint8_t> image, std::size_t at) {
    if (image.size() < at + 2) {
        return std::nullopt;
    }
    const std::size_t address = static_cast<std::size_t>(image[at]) << 8 | image[at + 1];
    if (address < kBaseAddress || address - kBaseAddress >= image.size()) {
        return std::nullopt;
    }
    return address - kBaseAddress;
}

}  // namespace

Bytes MakeSampleFirmware(std::size_t length, std::string_view version) {
    Bytes image(std::max(length, kVersionOffset + version.size() + 1));
    // Filler: a fixed linear congruential sequence, the same on every build.
    std::uint32_t seed = 0x4720u;
    for (std::uint8_t& byte : image) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    PutAddress(image, kVersionPointer, kVersionOffset);
    PutAddress(image, kMarkerPointer, kMarkerOffset);
    std::copy(kMarker.begin(), kMarker.end(), image.begin() + kMarkerOffset);
    std::copy(version.begin(), version.end(), image.begin() + kVersionOffset);
    image[kVersionOffset + version.size()] = 0;
    return image;
}

std::optional<std::string> FirmwareVersionOf(std::span<const std::uint8_t> image) {
    const auto marker = OffsetAt(image, kMarkerPointer);
    const auto version = OffsetAt(image, kVersionPointer);
    if (!marker || !version || image.size() < *marker + kMarker.size() ||
        !std::equal(kMarker.begin(), kMarker.end(), image.begin() + *marker)) {
        return std::nullopt;
    }
    std::string text;
    for (std::size_t i = *version; i < image.size() && image[i] != 0; ++i) {
        if (image[i] >= 32 && image[i] < 127) {
            text.push_back(static_cast<char>(image[i]));
        }
    }
    return text;
}

}  // namespace rq::sim
