// Feeds arbitrary reader replies to the settings decoder and to the four reader
// operations on both links, and checks that the results stay within what the window
// can show. Built with libFuzzer under clang (RQ_BUILD_FUZZ=ON); otherwise the same
// entry point is driven by ReplayMain.cpp over files, so the corpus runs in the tests.
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "OperationRig.h"
#include "ScriptedReader.h"
#include "core/Text.h"
#include "protocol/ReaderOperations.h"
#include "protocol/SettingsBlock.h"

namespace {

using rq::testing::Bytes;

using rq::fuzz::CheckShowable;
using rq::fuzz::Require;

// First byte: bit 0 revision B, bit 1 serial instead of USB, bits 2-3 the operation,
// bits 4-7 the HID read status. The rest is the reply.
void RunOperation(std::uint8_t flags, std::span<const std::uint8_t> reply) {
    rq::testing::ScriptedHid hid;
    rq::testing::ManualClock clock;
    rq::testing::ScriptedSerial serial{clock};
    rq::testing::OperationRig rig{hid, serial, clock};
    const bool overSerial = (flags & 2) != 0;
    hid.attached = !overSerial;
    serial.revisionB = (flags & 1) != 0;
    hid.replies.push_back(
        {Bytes(reply.begin(), reply.end()), static_cast<std::uint8_t>(flags >> 4)});
    serial.replies.push_back({Bytes(reply.begin(), reply.end())});

    switch ((flags >> 2) & 3) {
        case 0:
            rq::WriteSettingsToReader(rig.ctx);
            break;
        case 1:
            rq::ReadSettingsFromReader(rig.ctx);
            break;
        case 2:
            rq::ResetReaderToDefaults(rig.ctx);
            break;
        default:
            rq::ReadFirmwareVersion(rig.ctx);
            break;
    }
    CheckShowable(rig.settings);
    Require(rig.state.LinkStatus == rq::LinkState::Empty);
    Require(!hid.open && !serial.isOpen());
    Require(rig.state.BytesReturned <= rq::kInBufferSize);
    Require(clock.now() < std::chrono::seconds(30));  // the searches and waits, no more
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> input(data, size);
    const std::span<const std::uint8_t> reply = input.subspan(1);

    rq::ReaderSettings settings;
    rq::DecodeSettings(reply, (input[0] & 1) != 0, settings);
    CheckShowable(settings);
    // What was read goes back out as a block, unless a text holds a character the
    // code page lacks, which a decoded reply never does.
    Require(std::holds_alternative<rq::SettingsBlock>(rq::EncodeSettings(settings)));

    RunOperation(input[0], reply);
    return 0;
}
