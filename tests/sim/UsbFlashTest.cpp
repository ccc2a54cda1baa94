// The reader's side of a firmware update over USB: the erase request, the reboot off
// the bus, flash mode and the image it takes.
#include <gtest/gtest.h>

#include "SimHidLibrary.h"
#include "SimTestSupport.h"
#include "VirtualClock.h"

namespace rq::sim {
namespace {

using namespace testing;

constexpr std::uint16_t kVid = 0x10C4;
constexpr std::uint16_t kPid = 0x84B7;

class UsbFlash : public ::testing::Test {
  protected:
    void SetUp() override {
        hid.attach(reader);
        ref = open();
    }

    HidDeviceRef open() {
        HidDeviceRef handle = 0;
        EXPECT_EQ(hid.HidDevice_Open(handle, 0, kVid, kPid, 0), kHidSuccess);
        return handle;
    }
    std::uint8_t send(const Bytes& payload) {
        return hid.HidDevice_SetOutputReport_Interrupt(ref, OutputReport(payload));
    }
    Bytes read(std::uint32_t reports, std::uint32_t* returned = nullptr) {
        Bytes buffer(9 * reports, 0xEE);
        std::uint32_t count = 0;
        hid.HidDevice_GetInputReport_Interrupt(ref, buffer, reports, count);
        if (returned) {
            *returned = count;
        }
        return buffer;
    }
    // The erase request over two reports: 0x1A and code bytes 1-7, then bytes 8-12.
    void sendErase(const Bytes& request = EraseRequest()) {
        ASSERT_EQ(send(Bytes(request.begin(), request.begin() + 8)), kHidSuccess);
        ASSERT_EQ(send(Bytes(request.begin() + 8, request.end())), kHidSuccess);
    }
    // Erase, wait out the reboot and open the reader again in flash mode.
    void enterFlashMode() {
        sendErase();
        clock.advance(3s);
        ASSERT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
        ref = open();
    }

    VirtualClock clock;
    ReaderModel reader;
    SimHidLibrary hid{clock};
    HidDeviceRef ref = 0;
};

TEST_F(UsbFlash, WrongEraseCodeIsRefused) {
    Bytes request = EraseRequest();
    request[12] ^= 0x01;
    sendErase(request);
    EXPECT_EQ(read(1)[0], 0xEE) << "no reply";
    EXPECT_EQ(reader.erases(), 0);
    EXPECT_EQ(reader.mode(clock.now()), Mode::Application);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
}

TEST_F(UsbFlash, EraseTakesTheReaderOffTheBusForItsRebootTime) {
    sendErase();
    EXPECT_EQ(reader.erases(), 1);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 0u);
    EXPECT_NE(send({0x1B, 0x00}), kHidSuccess) << "the open handle died with the reboot";
    HidDeviceRef other = 0;
    EXPECT_NE(hid.HidDevice_Open(other, 0, kVid, kPid, 0), kHidSuccess);

    clock.advance(2999ms);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 0u);
    clock.advance(1ms);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
    EXPECT_EQ(reader.mode(clock.now()), Mode::Flash);
    EXPECT_NE(send({0x1B, 0x00}), kHidSuccess) << "handles from before the reboot stay dead";
}

TEST_F(UsbFlash, FlashModeAnswersTheHandshakeAndTheFlashCommand) {
    enterFlashMode();
    ASSERT_EQ(send({0x1B, 0x00}), kHidSuccess);
    const Bytes handshake = read(2);
    EXPECT_EQ(Bytes(handshake.begin(), handshake.begin() + 9),
              Bytes({0x00, 0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I'}));

    ASSERT_EQ(send({0x1B, 0xA8}), kHidSuccess);
    EXPECT_EQ(read(1), Bytes({0x00, 0x1B, 0xA8, 0x4A, 0x50, 0x2D, 0x55, 0x53, 0x42}));
}

TEST_F(UsbFlash, TakesTheAnnouncedLengthInSixByteBlocksAndDropsThePadding) {
    enterFlashMode();
    send({0x1B, 0xA8});
    read(1);

    ASSERT_EQ(send({0x1B, 0xA8, 0x00, 0x00, 0x00, 38, 0x00, 0x00}), kHidSuccess);
    std::uint32_t returned = 0;
    const Bytes lengthReply = read(2, &returned);
    EXPECT_EQ(returned, 18u) << "the echo and a second report, without a timeout";
    EXPECT_EQ(Bytes(lengthReply.begin(), lengthReply.begin() + 9),
              Bytes({0x00, 0x1B, 0xA8, 0x00, 0x00, 0x00, 38, 0x00, 0x00}));
    EXPECT_EQ(reader.announcedLength(), 38u);

    Bytes image;
    for (int i = 0; i < 38; ++i) {
        image.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    }
    for (std::size_t i = 0; i < 38; i += 6) {
        Bytes block{0x1B, 0xA8};
        for (std::size_t j = i; j < i + 6; ++j) {
            block.push_back(j < image.size() ? image[j] : 0x99);  // beyond the end: padding
        }
        ASSERT_EQ(send(block), kHidSuccess);
        EXPECT_EQ(read(1), Join({{0}, block})) << "block at " << i;
    }
    EXPECT_EQ(reader.image(), image);
    EXPECT_TRUE(reader.flashComplete());
    EXPECT_EQ(reader.mode(clock.now()), Mode::Application);

    send({0x1B, 0x21, 0x01, 0xFF});
    EXPECT_EQ(read(1)[2], 0x21) << "back in its application";
}

TEST_F(UsbFlash, WrongFlashModeAnswerByFault) {
    reader.faults().onlyCommand = 0xA8;
    reader.faults().wrongByte = Faults::ByteChange{3, 'X'};
    enterFlashMode();
    send({0x1B, 0xA8});
    EXPECT_EQ(read(1)[3], 'X');
}

TEST_F(UsbFlash, ReaderThatEchoesOnlyTheHeaderOfDataBlocks) {
    reader.faults().onlyCommand = 0xA8;
    reader.faults().shortReply = 3;
    enterFlashMode();
    send({0x1B, 0xA8});
    read(1);
    send({0x1B, 0xA8, 0, 0, 0, 6, 0, 0});
    read(2);
    send({0x1B, 0xA8, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(read(1), Bytes({0x00, 0x1B, 0xA8, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(reader.flashComplete());
}

TEST_F(UsbFlash, ReaderThatStopsAnsweringKeepsWhatItHad) {
    enterFlashMode();
    reader.faults().silentAfterFrames = reader.framesReceived() + 3;
    send({0x1B, 0xA8});
    read(1);
    send({0x1B, 0xA8, 0, 0, 0, 12, 0, 0});
    read(2);
    send({0x1B, 0xA8, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(read(1)[3], 1);
    EXPECT_EQ(send({0x1B, 0xA8, 7, 8, 9, 10, 11, 12}), kHidSuccess);
    EXPECT_EQ(read(1)[0], 0xEE);
    EXPECT_EQ(reader.image(), Bytes({1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(reader.flashComplete());
}

TEST_F(UsbFlash, EraseNeverFollowedByReconnect) {
    reader.faults().neverReconnect = true;
    sendErase();
    clock.advance(60s);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 0u);
    EXPECT_EQ(reader.mode(clock.now()), Mode::Rebooting);
}

TEST_F(UsbFlash, EraseAgainInFlashModeStartsOver) {
    enterFlashMode();
    send({0x1B, 0xA8});
    read(1);
    send({0x1B, 0xA8, 0, 0, 0, 12, 0, 0});
    read(2);
    send({0x1B, 0xA8, 1, 2, 3, 4, 5, 6});
    read(1);
    enterFlashMode();
    EXPECT_EQ(reader.erases(), 2);
    EXPECT_TRUE(reader.image().empty());
    send({0x1B, 0xA8});
    EXPECT_EQ(read(1)[3], 0x4A);
}

TEST_F(UsbFlash, ReplugInTheMiddleOfTheImageStartsTheLoaderAfresh) {
    enterFlashMode();
    send({0x1B, 0xA8});
    read(1);
    send({0x1B, 0xA8, 0, 0, 0, 12, 0, 0});
    read(2);
    send({0x1B, 0xA8, 1, 2, 3, 4, 5, 6});
    read(1);
    const auto session = reader.busSession();
    reader.replug(clock.now());
    EXPECT_NE(reader.busSession(), session) << "handles from before the unplug are dead";
    EXPECT_TRUE(reader.image().empty());
    ref = open();
    // A data block now is not taken as image bytes: the loader waits for its command.
    send({0x1B, 0xA8, 7, 8, 9, 10, 11, 12});
    EXPECT_TRUE(reader.image().empty());
    send({0x1B, 0xA8});
    EXPECT_EQ(read(1)[3], 0x4A) << "the flash-mode command is answered again";
    EXPECT_EQ(reader.mode(clock.now()), Mode::Flash);
}

}  // namespace
}  // namespace rq::sim
