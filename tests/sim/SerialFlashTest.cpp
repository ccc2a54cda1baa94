// The reader's side of a firmware update over RS232: erase at its own rate, the ready
// byte at 9600 after the reboot, the flash-mode command, the 57600 speed check, the byte
// frames and the end of the image.
#include <gtest/gtest.h>

#include "SimSerialPort.h"
#include "SimTestSupport.h"
#include "VirtualClock.h"

namespace rq::sim {
namespace {

using namespace testing;

constexpr std::uint8_t kAck = 0xFA;

ReaderConfig At19200() {
    ReaderConfig config;
    config.settings[0] = 6;
    return config;
}

class SerialFlash : public ::testing::Test {
  protected:
    void SetUp() override {
        port.attachReader(2, reader);
        port.setCommPort(2);
        ASSERT_EQ(port.setSettings("19200,n,8,1"), SerialFailure::None);
        ASSERT_EQ(port.open(), SerialFailure::None);
    }

    // Writes a frame and waits up to `maxWait` for bytes; returns what came.
    Bytes frame(const Bytes& bytes, Duration maxWait = 1s) {
        EXPECT_EQ(port.output(bytes), SerialFailure::None);
        return answer(maxWait);
    }
    Bytes answer(Duration maxWait) {
        port.waitForInput(maxWait);
        Bytes received;
        port.input(received);
        return received;
    }
    // Erase, then as the host does: 1 s later switch to 9600 and await the ready byte.
    void eraseAndAwaitReady() {
        ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
        clock.advance(1s);
        ASSERT_EQ(port.setSettings("9600,n,8,1"), SerialFailure::None);
        ASSERT_EQ(answer(6s), Bytes{kAck});
    }
    void reachDataPhase() {
        eraseAndAwaitReady();
        ASSERT_EQ(frame({0x1B, 0xA8, 0x02}), Bytes{kAck});
        ASSERT_EQ(port.setSettings("57600,n,8,1"), SerialFailure::None);
        ASSERT_EQ(frame({kAck}), Bytes{kAck});
    }

    VirtualClock clock;
    ReaderModel reader{At19200()};
    SimSerialPort port{clock};
};

TEST_F(SerialFlash, ReadyByteComesAt9600AfterTheRebootDelay) {
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    EXPECT_EQ(reader.mode(clock.now()), Mode::Rebooting);
    clock.advance(1s);
    ASSERT_EQ(port.setSettings("9600,n,8,1"), SerialFailure::None);
    EXPECT_EQ(answer(6s), Bytes{kAck});
    // 13 bytes at 19200 (6.8 ms), 2 s reboot, one byte back at 9600 (1.04 ms).
    EXPECT_GT(clock.now(), 2006ms);
    EXPECT_LT(clock.now(), 2009ms);
    EXPECT_EQ(reader.mode(clock.now()), Mode::Flash);
}

TEST_F(SerialFlash, ReadyByteIsLostOnAPortThatStayedAtTheOldRate) {
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    EXPECT_EQ(answer(6s), Bytes{});
}

TEST_F(SerialFlash, WrongEraseCodeIsRefusedAndTheReaderCarriesOn) {
    Bytes request = EraseRequest();
    request[1] ^= 0xFF;
    EXPECT_EQ(frame(request), Bytes{});
    EXPECT_EQ(reader.erases(), 0);
    EXPECT_EQ(frame({0x1B, 0x00}).size(), 10u);
}

TEST_F(SerialFlash, WholeTransferStoresTheImageAndReturnsToTheApplication) {
    reachDataPhase();
    const Bytes image{0x00, 0x55, 0xAA, 0xFF, 0xFA, 0x1B, 0x1A, 0x42};
    for (const std::uint8_t byte : image) {
        ASSERT_EQ(frame({byte, 0x55}, 2s), Bytes{kAck});
    }
    EXPECT_FALSE(reader.flashComplete());
    EXPECT_EQ(frame({0xFF, 0xAA}, 2s), Bytes{kAck});
    EXPECT_EQ(reader.image(), image);
    EXPECT_TRUE(reader.flashComplete());
    EXPECT_EQ(reader.mode(clock.now()), Mode::Application);

    ASSERT_EQ(port.setSettings("19200,n,8,1"), SerialFailure::None);
    EXPECT_EQ(frame({0x1B, 0x00}, 200ms).size(), 10u) << "at its own rate again";
}

TEST_F(SerialFlash, SpeedCheckAt9600IsNotHeard) {
    eraseAndAwaitReady();
    ASSERT_EQ(frame({0x1B, 0xA8, 0x02}), Bytes{kAck});
    EXPECT_EQ(frame({kAck}), Bytes{});
}

TEST_F(SerialFlash, FlashModeCommandNeedsItsThirdByte) {
    eraseAndAwaitReady();
    EXPECT_EQ(frame({0x1B, 0xA8, 0x01}), Bytes{});
    EXPECT_EQ(frame({0x1B, 0xA8, 0x02}), Bytes{kAck});
}

TEST_F(SerialFlash, MalformedDataFrameIsRefused) {
    reachDataPhase();
    EXPECT_EQ(frame({0x12, 0x34}, 2s), Bytes{0x15});
    EXPECT_TRUE(reader.image().empty());
}

TEST_F(SerialFlash, ChosenAnswerIsWrong) {
    reader.faults().flashAck = Faults::FlashAnswer{3 + 1, 0x15};
    reachDataPhase();
    EXPECT_EQ(frame({0x11, 0x55}), Bytes{kAck});
    EXPECT_EQ(frame({0x22, 0x55}), Bytes{0x15});
    EXPECT_EQ(reader.image(), Bytes{0x11}) << "a refused frame is not stored";
}

TEST_F(SerialFlash, CompareErrorOnTheEndFrameLeavesTheFlashUnfinished) {
    reader.faults().flashAck = Faults::FlashAnswer{3 + 2, 0x07};
    reachDataPhase();
    frame({0x11, 0x55});
    frame({0x22, 0x55});
    EXPECT_EQ(frame({0xFF, 0xAA}), Bytes{0x07});
    EXPECT_FALSE(reader.flashComplete());
    EXPECT_EQ(reader.mode(clock.now()), Mode::Flash);
}

TEST_F(SerialFlash, WrongReadyByte) {
    reader.faults().flashAck = Faults::FlashAnswer{0, 0x33};
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    clock.advance(1s);
    port.setSettings("9600,n,8,1");
    EXPECT_EQ(answer(6s), Bytes{0x33});
}

TEST_F(SerialFlash, ReaderThatAnswersTheEraseOnlyAfterSevenSeconds) {
    reader.faults().onlyCommand = 0xA8;
    reader.faults().extraLatency = 5s;
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    clock.advance(1s);
    port.setSettings("9600,n,8,1");
    EXPECT_EQ(answer(6s), Bytes{}) << "still nothing 7 s after the erase";
    EXPECT_EQ(answer(1s), Bytes{kAck});
}

TEST_F(SerialFlash, EraseNeverFollowedByTheReadyByte) {
    reader.faults().neverReconnect = true;
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    clock.advance(1s);
    port.setSettings("9600,n,8,1");
    EXPECT_EQ(answer(60s), Bytes{});
    EXPECT_EQ(frame({0x1B, 0xA8, 0x02}), Bytes{});
}

TEST_F(SerialFlash, RebootDelayIsConfigurable) {
    ReaderConfig config;
    config.serialRebootTime = 4s;
    ReaderModel slow(config);
    port.close();
    port.attachReader(5, slow);
    port.setCommPort(5);
    port.setSettings("9600,n,8,1");
    ASSERT_EQ(port.open(), SerialFailure::None);
    ASSERT_EQ(port.output(EraseRequest()), SerialFailure::None);
    EXPECT_EQ(answer(3900ms), Bytes{});
    EXPECT_EQ(answer(1s), Bytes{kAck});
}

}  // namespace
}  // namespace rq::sim
