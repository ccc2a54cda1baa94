// Checks arbitrary bytes as a firmware image file, as the firmware update does before it
// asks to flash: the marker and version pointers may point anywhere, the version text may
// run to the end. The check reads nothing past index FirmwareLength (the zero a cleared
// buffer holds there ends a text that runs on), and what it shows is printable.
#include <algorithm>
#include <cstdint>

#include "FuzzChecks.h"
#include "firmware/FirmwareImage.h"

namespace {

using rq::fuzz::Require;

rq::ImageCheck CheckWithTail(const std::uint8_t* data, std::int32_t length, std::uint8_t tail) {
    static rq::ProgramState state;  // the 32769-byte buffer, reused across runs
    std::copy_n(data, length, state.FirmwareImage.begin());
    // ReadFirmwareFile clears the buffer; the check must not depend on what lies past
    // index FirmwareLength, so the rest holds `tail` here.
    state.FirmwareImage[static_cast<std::size_t>(length)] = 0;
    std::fill(state.FirmwareImage.begin() + length + 1, state.FirmwareImage.end(), tail);
    state.FirmwareLength = length;
    return rq::CheckFirmwareImage(state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Longer files are refused by their length before the check.
    const auto length = static_cast<std::int32_t>(
        std::min<std::size_t>(size, static_cast<std::size_t>(rq::kMaxFirmwareLength)));
    const rq::ImageCheck check = CheckWithTail(data, length, 0);
    const rq::ImageCheck junkTail = CheckWithTail(data, length, 0xEE);
    Require(check.failure == junkTail.failure && check.markerMatches == junkTail.markerMatches &&
            check.version == junkTail.version);

    if (check.failure != rq::ImageFailure::None || !check.markerMatches) {
        Require(check.version.empty());
        return 0;
    }
    Require(length >= 38);
    // Either the pointer's own text ("&H" and up to four hex digits) or printable bytes of
    // the image, never more than it holds.
    if (check.version.starts_with("&H") && check.version.size() <= 6) {
        return 0;
    }
    Require(check.version.size() <= static_cast<std::size_t>(length));
    Require(std::all_of(check.version.begin(), check.version.end(), [](char c) {
        const auto byte = static_cast<std::uint8_t>(c);
        return byte >= 32 && byte <= 127;
    }));
    return 0;
}
