#include <gtest/gtest.h>

#include "LinkRig.h"
#include "link/UsbLink.h"

namespace rq {
namespace {

using testing::LinkRig;
using Lines = std::vector<std::string>;

// The simulated library must wait for a missing report as long as the real binding.
static_assert(sim::SimHidLibrary::kDefaultReadTimeout ==
              std::chrono::milliseconds(kHidReportTimeoutMs));

TEST(UsbSearch, NoReaderFailsWithItsLinesAndClosesTwice) {
    LinkRig rig;
    rig.log.appendLine("left over");
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              (Lines{"Searching RQ-4720 on USB ports...", "No RQ-4720 connected on USB port! "}));
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
    EXPECT_EQ(rig.hid.closeCalls(), 2);  // at the start and at the failure
    // Each line is on screen before the next step can block.
    EXPECT_EQ(rig.log.trace,
              (Lines{"line:left over", "clear", "line:Searching RQ-4720 on USB ports...", "repaint",
                     "line:No RQ-4720 connected on USB port! ", "repaint", "repaint"}));
}

TEST(UsbSearch, QuietSearchWithoutReaderLeavesTheLogAlone) {
    LinkRig rig;
    rig.log.appendLine("Erase RQ-4720 program memory ...Sent!");
    rig.state.LinkStatus = LinkState::Loop;
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines{"Erase RQ-4720 program memory ...Sent!"});
    EXPECT_EQ(rig.log.clears, 0);
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
}

TEST(UsbSearch, ReaderAnswersTheHandshakeAndStaysOpen) {
    LinkRig rig;
    sim::ReaderModel reader;
    rig.hid.attach(reader);
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              (Lines{"Searching RQ-4720 on USB ports...", "Checking RQ-4720 USB...",
                     "RQ-4720 connected on USB port !"}));
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Ok);
    EXPECT_TRUE(rig.state.ReaderRevision);
    EXPECT_EQ(rig.hid.openHandles(), 1u);
    // The window is repainted between the handshake's send and its read.
    EXPECT_EQ(rig.log.trace, (Lines{"clear", "line:Searching RQ-4720 on USB ports...", "repaint",
                                    "line:Checking RQ-4720 USB...", "repaint", "repaintWindow",
                                    "line:RQ-4720 connected on USB port !", "repaint"}));
    ASSERT_EQ(rig.hid.reportsSentTo(0).size(), 1u);
    EXPECT_EQ(rig.hid.reportsSentTo(0)[0], (sim::Bytes{0, 0x1B, 0, 0, 0, 0, 0, 0, 0}));
    // The two reports arrived, so the read took no timeout.
    EXPECT_LT(rig.seconds(), 0.1);

    CloseUsbReader(rig.ctx);
    EXPECT_EQ(rig.hid.openHandles(), 0u);
}

TEST(UsbSearch, WrongAnswerNamesTheReadStatusAndFailsWithoutTryingTheNextDevice) {
    LinkRig rig;
    sim::ReaderModel first;
    sim::ReaderModel second;
    // Byte 3 of the answer is 8 instead of 7; both reports arrive, so the status is 0.
    first.faults().identifyReply = sim::Bytes{0x1B, 0x00, 0x08, '4', '7', '2', '0', 'I', 'V', 'B'};
    rig.hid.attach(first);
    rig.hid.attach(second);
    rig.state.ReaderRevision = true;
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "RQ-4720 not connects to USB port !0");
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
    EXPECT_FALSE(rig.state.ReaderRevision);
    EXPECT_TRUE(rig.hid.reportsSentTo(1).empty());
    EXPECT_EQ(rig.hid.openHandles(), 0u);
}

TEST(UsbSearch, DeviceThatCannotBeOpenedIsPassedOver) {
    LinkRig rig;
    sim::ReaderModel locked;
    sim::ReaderModel reader;
    rig.hid.attach(locked, {.failingOpens = sim::HidDeviceOptions::kAlways});
    rig.hid.attach(reader);
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Ok);
    EXPECT_EQ(rig.hid.reportsSentTo(1).size(), 1u);
}

TEST(UsbSearch, OtherReportLengthsFailTheSearch) {
    struct Case {
        std::uint16_t input;
        std::uint16_t output;
        const char* line;
    };
    for (const Case& c :
         {Case{65, 9, "USB Input buffer error"}, Case{9, 33, "USB outout buffer error"}}) {
        LinkRig rig;
        sim::ReaderModel reader;
        rig.hid.attach(reader, {.inputReportLength = c.input, .outputReportLength = c.output});
        rig.state.ReaderRevision = true;
        SearchUsbReader(rig.ctx);
        EXPECT_EQ(rig.log.lines().back(), c.line);
        EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
        EXPECT_TRUE(rig.state.ReaderRevision) << "a length error leaves the revision alone";
        EXPECT_TRUE(rig.hid.reportsSentTo(0).empty());
        EXPECT_EQ(rig.hid.openHandles(), 0u);
    }
}

TEST(UsbSearch, QuietSearchOverlooksADifferenceAtByteZeroOnly) {
    // A silent reader leaves the buffer as it was; here it holds the answer but for byte 0.
    const std::array<std::uint8_t, 9> stale = {0x55, 0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I'};
    for (const LinkState mode : {LinkState::Loop, LinkState::Empty}) {
        LinkRig rig;
        sim::ReaderModel reader;
        reader.faults().silentAfterFrames = 0;
        rig.hid.attach(reader);
        std::copy(stale.begin(), stale.end(), rig.state.InBuffer.begin());
        rig.state.LinkStatus = mode;
        SearchUsbReader(rig.ctx);
        if (mode == LinkState::Loop) {
            EXPECT_EQ(rig.state.LinkStatus, LinkState::Ok);
            EXPECT_EQ(rig.log.lines(), Lines{"RQ-4720 connected on USB port !"});
        } else {
            EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
            EXPECT_EQ(rig.log.lines().back().rfind("RQ-4720 not connects to USB port !", 0), 0u);
        }
    }
}

TEST(UsbSearch, QuietSearchStillFailsOnADifferenceBeyondByteZero) {
    LinkRig rig;
    sim::ReaderModel reader;
    reader.faults().silentAfterFrames = 0;
    rig.hid.attach(reader);
    // Byte 0 and byte 3 differ: only the first is let through in quiet mode.
    const std::array<std::uint8_t, 9> stale = {0x55, 0x1B, 0x00, 0x08, '4', '7', '2', '0', 'I'};
    std::copy(stale.begin(), stale.end(), rig.state.InBuffer.begin());
    rig.state.LinkStatus = LinkState::Loop;
    rig.state.ReaderRevision = true;
    SearchUsbReader(rig.ctx);
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
    ASSERT_EQ(rig.log.lines().size(), 1u);
    EXPECT_EQ(rig.log.lines()[0].rfind("RQ-4720 not connects to USB port !", 0), 0u);
    EXPECT_FALSE(rig.state.ReaderRevision);
    EXPECT_EQ(rig.hid.openHandles(), 0u);
}

}  // namespace
}  // namespace rq
