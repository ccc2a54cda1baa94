#include "firmware/FirmwareImage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "core/Text.h"

namespace rq {
namespace {

// The marker pointer's low byte is the last byte a valid image must hold.
constexpr std::int32_t kPointerBytesEnd = kMarkerPointerHigh + 2;

ImageFailure OpenFailure(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return ImageFailure::NotFound;
    }
    return std::filesystem::is_regular_file(status) ? ImageFailure::NotReadable
                                                    : ImageFailure::NotAFile;
}

}  // namespace

ImagePointer ReadImagePointer(const ProgramState& state, std::size_t highIndex,
                              std::size_t lowIndex) {
    const std::uint8_t high = ImageByte(state, highIndex);
    const std::uint8_t low = ImageByte(state, lowIndex);
    ImagePointer pointer;
    pointer.text = "&H" + text::Hex(high) + (low < 0x10 ? "0" : "") + text::Hex(low);
    // The text read back as a hexadecimal number of at most four digits is a signed word.
    const int address = static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low));
    const int offset = address - kImageBaseAddress;
    if (offset >= std::numeric_limits<std::int16_t>::min()) {
        pointer.offset = offset;
    }
    return pointer;
}

std::uint8_t ImageByte(const ProgramState& state, std::size_t index) {
    return index < state.FirmwareImage.size() ? state.FirmwareImage[index] : 0;
}

ImageFailure ReadFirmwareFile(ProgramState& state) {
    // The chosen path is the system's own bytes, which need not be UTF-8; through char8_t
    // they stay bytes on Linux and become UTF-16 on Windows (not the ANSI code page).
    const std::string& chosen = state.ChosenFilePath;
    const std::filesystem::path path(std::u8string(chosen.begin(), chosen.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return OpenFailure(path);
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return OpenFailure(path);
    }
    // A cleared buffer: bytes after the end of the file are zeros, never an earlier image's.
    std::fill(state.FirmwareImage.begin(), state.FirmwareImage.end(), 0);
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0) {
        state.FirmwareLength = 0;
        return ImageFailure::ReadFailed;
    }
    state.FirmwareLength = static_cast<std::int32_t>(
        std::min<std::streamoff>(size, std::numeric_limits<std::int32_t>::max()));
    if (state.FirmwareLength > kMaxFirmwareLength) {
        return ImageFailure::TooLong;
    }
    file.read(reinterpret_cast<char*>(state.FirmwareImage.data()), state.FirmwareLength);
    if (file.gcount() != state.FirmwareLength) {
        return ImageFailure::ReadFailed;
    }
    return ImageFailure::None;
}

ImageCheck CheckFirmwareImage(const ProgramState& state) {
    ImageCheck check;
    if (state.FirmwareLength < kPointerBytesEnd) {
        check.failure = ImageFailure::PointersOutsideFile;
        return check;
    }
    const ImagePointer marker = ReadImagePointer(state, kMarkerPointerHigh, kMarkerPointerHigh + 1);
    if (!marker.offset) {
        check.failure = ImageFailure::MarkerPointerRange;
        return check;
    }
    const int m = *marker.offset;
    if (m > 1) {
        if (m + static_cast<int>(kImageMarker.size()) > state.FirmwareLength) {
            check.failure = ImageFailure::MarkerOutsideFile;
            return check;
        }
        check.markerMatches =
            std::equal(kImageMarker.begin(), kImageMarker.end(), state.FirmwareImage.begin() + m);
    } else {
        // A pointer at or below offset 1 leaves its own text as the marker, which never matches.
        check.markerMatches = marker.text == kImageMarker;
    }
    if (!check.markerMatches) {
        return check;
    }

    const ImagePointer version =
        ReadImagePointer(state, kVersionPointerHigh, kVersionPointerHigh + 1);
    if (!version.offset) {
        check.failure = ImageFailure::VersionPointerRange;
        return check;
    }
    if (*version.offset <= 1) {
        check.version = version.text;
        return check;
    }
    // Up to and including index FirmwareLength; only printable bytes are shown.
    for (int i = *version.offset; i <= state.FirmwareLength; ++i) {
        const std::uint8_t byte = ImageByte(state, static_cast<std::size_t>(i));
        if (byte == 0) {
            break;
        }
        if (byte >= 32 && byte <= 127) {
            check.version.push_back(static_cast<char>(byte));
        }
    }
    return check;
}

}  // namespace rq
