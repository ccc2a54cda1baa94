#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/ProgramState.h"

namespace rq {

// Failure codes of the image check, shown in its two error boxes (docs/firmware.md).
// 0 is a plain marker mismatch.
enum class ImageFailure : int {
    None = 0,
    // "Open binary file error!"
    NotFound = 1,     // no such file, or it vanished after it was chosen
    NotReadable = 2,  // it exists but cannot be opened for reading
    NotAFile = 3,     // a directory or another kind of non-regular file
    // "... is not firmware for RQ-4720!"
    TooLong = 4,              // more than 32767 bytes
    ReadFailed = 5,           // a read error, or fewer bytes than its length
    PointersOutsideFile = 6,  // too short to hold the two pointers (38 bytes)
    MarkerPointerRange = 7,   // marker pointer 0x8000 to 0x94FF
    MarkerOutsideFile = 8,    // the marker runs past the end of the file
    VersionPointerRange = 9,  // version pointer 0x8000 to 0x94FF
};

// Image offset 0 is address 0x1500 of the reader's program memory.
inline constexpr int kImageBaseAddress = 0x1500;
inline constexpr int kMaxFirmwareLength = 32767;
inline constexpr std::size_t kMarkerPointerHigh = 36;
inline constexpr std::size_t kVersionPointerHigh = 28;
inline constexpr std::string_view kImageMarker = "4720IV";

// One of the image's two big-endian addresses: as text ("&H153C") and as an offset into
// the image (the address as a signed 16-bit value minus 0x1500); no offset when that
// falls below -32768.
struct ImagePointer {
    std::string text;
    std::optional<int> offset;
};
[[nodiscard]] ImagePointer ReadImagePointer(const ProgramState& state, std::size_t highIndex,
                                            std::size_t lowIndex);

// Byte `index` of FirmwareImage; 0 beyond its end.
[[nodiscard]] std::uint8_t ImageByte(const ProgramState& state, std::size_t index);

// Reads the file at ChosenFilePath into a cleared FirmwareImage and sets FirmwareLength.
// NotFound, NotReadable and NotAFile mean it could not be opened.
[[nodiscard]] ImageFailure ReadFirmwareFile(ProgramState& state);

[[nodiscard]] constexpr bool IsOpenFailure(ImageFailure failure) {
    return failure == ImageFailure::NotFound || failure == ImageFailure::NotReadable ||
           failure == ImageFailure::NotAFile;
}

// The checked image: the marker text found and the version text to show.
struct ImageCheck {
    ImageFailure failure = ImageFailure::None;
    bool markerMatches = false;
    std::string version;  // UTF-8
};
// Checks the marker and walks the version text of the image read.
[[nodiscard]] ImageCheck CheckFirmwareImage(const ProgramState& state);

}  // namespace rq
