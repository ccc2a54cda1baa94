#include <gtest/gtest.h>

#include "LinkRig.h"
#include "link/SerialLink.h"

namespace rq {
namespace {

using testing::LinkRig;
using testing::SerialReader;
using Lines = std::vector<std::string>;

TEST(SerialSearch, NothingFoundKeepsTheUsbLinesAboveItsOwn) {
    LinkRig rig;
    rig.log.appendLine("No RQ-4720 connected on USB port! ");
    for (int port = 1; port <= 16; ++port) {
        rig.serial.addSilentPort(port);
    }
    SearchSerialReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              (Lines{"No RQ-4720 connected on USB port! ", "Searching COM 1~16 for 4720... ",
                     "Can not find 4720 at com 1~16 with all baud rate!"}));
    EXPECT_EQ(rig.state.SerialReaderFound, 0);
    EXPECT_FALSE(rig.serial.isOpen());
    // 16 ports at 4 rates, each given 0.2 s to answer.
    EXPECT_NEAR(rig.seconds(), 64 * 0.2, 0.01);
    EXPECT_EQ(rig.serial.writes().size(), 64u);
    EXPECT_EQ(rig.serial.writes().front().bytes, (sim::Bytes{0x1B, 0x00}));
}

TEST(SerialSearch, NewReaderOnCom3At19200IsFoundInTheSecondPass) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B, 6);
    rig.serial.attachReader(3, reader);
    rig.state.ReaderRevision = false;
    SearchSerialReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Found NEW 4720B RS232 at com:  3 Baud: 19200");
    EXPECT_EQ(rig.state.SerialReaderFound, 3);
    EXPECT_EQ(rig.state.SearchBaudCode, 6);
    EXPECT_TRUE(rig.state.ReaderRevision);
    EXPECT_TRUE(rig.serial.isOpen());
    EXPECT_EQ(rig.serial.commPort(), 3);
    EXPECT_EQ(rig.serial.settings(), "19200,n,8,1");
    EXPECT_EQ(rig.serial.inputMode(), 1);
    EXPECT_EQ(rig.log.trace,
              (Lines{"repaintWindow", "line:Searching COM 1~16 for 4720... ", "repaint",
                     "piece:Found NEW 4720B RS232 at com: ", "line: 3 Baud: 19200", "repaint"}));
}

TEST(SerialSearch, OldReaderIsToldApart) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::A);
    rig.serial.attachReader(12, reader);
    rig.state.ReaderRevision = true;
    SearchSerialReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Found 4720A RS232 at com:  12 Baud: 9600");
    EXPECT_FALSE(rig.state.ReaderRevision);
}

TEST(SerialSearch, BusyPortsAndOverlongAnswersArePassedOver) {
    LinkRig rig;
    sim::ReaderModel chatty = SerialReader(sim::Revision::B);
    // Eleven bytes at once: the count jumps past ten and the answer is never taken.
    chatty.faults().identifyReply =
        sim::Bytes{0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I', 'V', 'B', 0x00};
    sim::ReaderModel reader = SerialReader(sim::Revision::B);
    rig.serial.addBusyPort(1);
    rig.serial.attachReader(2, chatty);
    rig.serial.attachReader(5, reader);
    SearchSerialReader(rig.ctx);
    EXPECT_EQ(rig.state.SerialReaderFound, 5);
    EXPECT_EQ(rig.log.lines().back(), "Found NEW 4720B RS232 at com:  5 Baud: 9600");
}

TEST(SerialSearch, StartsByClosingAPortLeftOpen) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B, 9);
    rig.serial.attachReader(4, reader);
    rig.serial.addSilentPort(7);
    rig.serial.setCommPort(7);
    ASSERT_EQ(rig.serial.open(), SerialFailure::None);
    SearchSerialReader(rig.ctx);
    EXPECT_EQ(rig.state.SerialReaderFound, 4);
    EXPECT_EQ(rig.state.SearchBaudCode, 9);
    EXPECT_EQ(rig.serial.commPort(), 4);
}

// --- The timed waits

// Sends the reset command so that the reader echoes its 4 bytes (with faults as set).
void AskForFourBytes(LinkRig& rig, sim::ReaderModel& reader) {
    rig.serial.attachReader(1, reader);
    rig.serial.setCommPort(1);
    ASSERT_EQ(rig.serial.open(), SerialFailure::None);
    const std::array<std::uint8_t, 4> reset = {0x1B, 0x21, 0x01, 0xFF};
    ASSERT_EQ(rig.serial.output(reset), SerialFailure::None);
}

TEST(SerialWaits, ExactCountReturnsAsSoonAsItArrives) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B);
    reader.faults().extraLatency = std::chrono::milliseconds(300);
    AskForFourBytes(rig, reader);
    const double start = rig.seconds();
    EXPECT_EQ(WaitSerialBytes(rig.ctx, 4, 1.0), SerialFailure::None);
    EXPECT_EQ(rig.state.SerialReplyReceived, 1);
    EXPECT_EQ(rig.state.SerialIn, (std::vector<std::uint8_t>{0x1B, 0x21, 0x01, 0xFF}));
    EXPECT_GT(rig.seconds() - start, 0.3);
    EXPECT_LT(rig.seconds() - start, 0.32);
}

TEST(SerialWaits, FewerOrMoreBytesEndInTheTimeout) {
    for (const int awaited : {5, 3}) {
        LinkRig rig;
        sim::ReaderModel reader = SerialReader(sim::Revision::B);
        AskForFourBytes(rig, reader);
        const double start = rig.seconds();
        EXPECT_EQ(WaitSerialBytes(rig.ctx, awaited, 1.0), SerialFailure::None);
        EXPECT_EQ(rig.state.SerialReplyReceived, 0) << awaited;
        EXPECT_TRUE(rig.state.SerialIn.empty()) << awaited;
        EXPECT_NEAR(rig.seconds() - start, 1.0, 0.001) << awaited;
        int waiting = 0;
        ASSERT_EQ(rig.serial.inBufferCount(waiting), SerialFailure::None);
        EXPECT_EQ(waiting, 4) << "the bytes stay in the port's buffer";
    }
}

TEST(SerialWaits, WaitingKeepsTheWindowAlive) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B);
    reader.faults().silentAfterFrames = 0;
    AskForFourBytes(rig, reader);
    const int before = rig.clock.keepAlives();
    WaitSerialBytes(rig.ctx, 4, 1.0);
    EXPECT_GE(rig.clock.keepAlives() - before, 10);
}

TEST(SerialWaits, UnpluggedAdapterEndsTheWaitWithAFailure) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B);
    reader.faults().silentAfterFrames = 0;
    AskForFourBytes(rig, reader);
    rig.serial.unplug(1);
    EXPECT_EQ(WaitSerialBytes(rig.ctx, 4, 1.0), SerialFailure::ReadFailed);
    EXPECT_EQ(rig.state.SerialReplyReceived, 0);
    EXPECT_LT(rig.seconds(), 0.5);
}

TEST(SerialWaits, PauseReadTakesEverythingAndPacksTwoBytesToACharacter) {
    LinkRig rig;
    sim::ReaderModel reader = SerialReader(sim::Revision::B);
    reader.faults().shortReply = 9;  // 9 bytes of the probe answer
    rig.serial.attachReader(1, reader);
    rig.serial.setCommPort(1);
    ASSERT_EQ(rig.serial.open(), SerialFailure::None);
    const std::array<std::uint8_t, 2> probe = {0x1B, 0x00};
    ASSERT_EQ(rig.serial.output(probe), SerialFailure::None);
    const double start = rig.seconds();
    EXPECT_EQ(ReadSerialAfterPause(rig.ctx), SerialFailure::None);
    EXPECT_NEAR(rig.seconds() - start, 0.5, 0.001);
    EXPECT_EQ(rig.state.SerialIn.size(), 9u);
    ASSERT_EQ(rig.state.SerialInText.size(), 4u);
    EXPECT_EQ(rig.state.SerialInText[0], static_cast<char16_t>(0x1B | (0x00 << 8)));
}

TEST(SerialWaits, DelayWaitsWholeSeconds) {
    LinkRig rig;
    delay(rig.ctx, 2);
    EXPECT_NEAR(rig.seconds(), 2.0, 1e-9);
}

}  // namespace
}  // namespace rq
