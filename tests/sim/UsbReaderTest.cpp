// The reader on USB, through the simulated HID library: replies to each command, report
// framing, the library's read and handle rules, and the USB faults.
#include <gtest/gtest.h>

#include "SimHidLibrary.h"
#include "SimTestSupport.h"
#include "SimulatedUsbReader.h"
#include "VirtualClock.h"

namespace rq::sim {
namespace {

using namespace testing;

constexpr std::uint16_t kVid = 0x10C4;
constexpr std::uint16_t kPid = 0x84B7;

struct ReadResult {
    std::uint8_t status = 0;
    std::uint32_t returned = 0;
    Bytes buffer;
};

// Input reports as the host lays them out: ID 0, then 8 bytes, zero padded.
Bytes Reports(std::initializer_list<Bytes> payloads) {
    Bytes out;
    for (const Bytes& payload : payloads) {
        out.push_back(0);
        out.insert(out.end(), payload.begin(), payload.end());
        out.resize(out.size() + 8 - payload.size(), 0);
    }
    return out;
}

class UsbReader : public ::testing::Test {
  protected:
    void SetUp() override { hid.attach(reader); }

    HidDeviceRef open(std::uint32_t index = 0) {
        HidDeviceRef ref = 0;
        EXPECT_EQ(hid.HidDevice_Open(ref, index, kVid, kPid, 0), kHidSuccess);
        return ref;
    }
    // One output report: ID 0 and the payload, zero padded to 9 bytes.
    std::uint8_t send(HidDeviceRef ref, const Bytes& payload) {
        return hid.HidDevice_SetOutputReport_Interrupt(ref, OutputReport(payload));
    }
    // Sends a command of any length in as many reports as it takes.
    void sendCommand(HidDeviceRef ref, const Bytes& command) {
        for (std::size_t i = 0; i < command.size(); i += 8) {
            const auto end = std::min(command.size(), i + 8);
            ASSERT_EQ(send(ref, Bytes(command.begin() + static_cast<std::ptrdiff_t>(i),
                                      command.begin() + static_cast<std::ptrdiff_t>(end))),
                      kHidSuccess);
        }
    }
    ReadResult read(HidDeviceRef ref, std::uint32_t reports) {
        ReadResult result;
        result.buffer.assign(9 * reports, 0xEE);
        result.status =
            hid.HidDevice_GetInputReport_Interrupt(ref, result.buffer, reports, result.returned);
        return result;
    }

    VirtualClock clock;
    ReaderModel reader;
    SimHidLibrary hid{clock};
};

// --- Replies

TEST_F(UsbReader, AnswersTheHandshakeWithTwoReportsAtOnce) {
    const auto ref = open();
    ASSERT_EQ(send(ref, {0x1B, 0x00}), kHidSuccess);
    const auto start = clock.now();
    const auto reply = read(ref, 2);
    EXPECT_EQ(reply.status, kHidSuccess);
    EXPECT_EQ(reply.returned, 18u);
    EXPECT_EQ(Bytes(reply.buffer.begin(), reply.buffer.begin() + 9),
              Bytes({0x00, 0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I'}));
    EXPECT_LT(clock.now() - start, 10ms) << "both reports come without a read timeout";
}

TEST_F(UsbReader, VersionReplyIsOneReportOfTextAndOneOfCrLf) {
    const auto ref = open();
    ASSERT_EQ(send(ref, {0x1B, 0x01}), kHidSuccess);
    const auto start = clock.now();
    const auto reply = read(ref, 9);
    EXPECT_NE(reply.status, kHidSuccess) << "fewer reports than asked for";
    EXPECT_EQ(reply.returned, 18u);
    EXPECT_EQ(Bytes(reply.buffer.begin(), reply.buffer.begin() + 18),
              Reports({{0x1B, 0x01, 0x05, 'V', '2', '.', '2', '0'}, {0x0D, 0x0A}}));
    EXPECT_TRUE(std::all_of(reply.buffer.begin() + 18, reply.buffer.end(), [](auto b) {
        return b == 0xEE;
    })) << "the buffer beyond the reports received is left alone";
    const auto waited = clock.now() - start;
    EXPECT_GE(waited, 500ms);
    EXPECT_LT(waited, 510ms) << "one timeout of 500 ms for the missing third report";
}

TEST_F(UsbReader, VersionTextAndLineEndAreConfigurable) {
    ReaderConfig config;
    config.version = "RQ4720 V3.01";
    config.versionCrLf = false;
    ReaderModel other(config);
    SimHidLibrary library(clock);
    library.attach(other);
    HidDeviceRef ref = 0;
    ASSERT_EQ(library.HidDevice_Open(ref, 0, kVid, kPid, 0), kHidSuccess);
    ASSERT_EQ(
        library.HidDevice_SetOutputReport_Interrupt(ref, Bytes{0, 0x1B, 0x01, 0, 0, 0, 0, 0, 0}),
        kHidSuccess);
    Bytes buffer(81, 0);
    std::uint32_t returned = 0;
    library.HidDevice_GetInputReport_Interrupt(ref, buffer, 9, returned);
    EXPECT_EQ(returned, 18u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 18),
              Reports({Join({{0x1B, 0x01, 12}, Ascii("RQ472")}), Ascii("0 V3.01")}));
}

TEST_F(UsbReader, SettingsReadComesInFiveReportsWithTheBlock) {
    const auto ref = open();
    ASSERT_EQ(send(ref, {0x1B, 0x1C, 0x00, 0x10, 0x1F}), kHidSuccess);
    const auto reply = read(ref, 5);
    EXPECT_EQ(reply.status, kHidSuccess);
    EXPECT_EQ(reply.returned, 45u);
    const Bytes reply36 = Join({{0x1B, 0x1C, 0x00, 0x10, 0x1F}, DefaultBlock()});
    EXPECT_EQ(reply.buffer, Reports({Bytes(reply36.begin(), reply36.begin() + 8),
                                     Bytes(reply36.begin() + 8, reply36.begin() + 16),
                                     Bytes(reply36.begin() + 16, reply36.begin() + 24),
                                     Bytes(reply36.begin() + 24, reply36.begin() + 32),
                                     Bytes(reply36.begin() + 32, reply36.end())}));
}

TEST_F(UsbReader, WriteArrivesInFiveReportsIsStoredAndAcknowledgedOnce) {
    const auto ref = open();
    const Bytes block = SampleBlock();
    const Bytes command = Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, block});
    ASSERT_EQ(command.size(), 36u);
    for (std::size_t i = 0; i < 32; i += 8) {
        ASSERT_EQ(send(ref, Bytes(command.begin() + static_cast<std::ptrdiff_t>(i),
                                  command.begin() + static_cast<std::ptrdiff_t>(i + 8))),
                  kHidSuccess);
    }
    EXPECT_EQ(read(ref, 1).returned, 0u) << "no answer before the fifth report";
    ASSERT_EQ(send(ref, Bytes(command.begin() + 32, command.end())), kHidSuccess);
    const auto ack = read(ref, 1);
    EXPECT_EQ(ack.buffer, Bytes({0x00, 0x1B, 0x1D, 0x00, 0x10, 0x01, 0xAA, 0x00, 0x00}));
    EXPECT_EQ(Bytes(reader.settings().begin(), reader.settings().end()), block);

    ASSERT_EQ(send(ref, {0x1B, 0x1C, 0x00, 0x10, 0x1F}), kHidSuccess);
    const auto back = read(ref, 5);
    Bytes payload;
    for (std::size_t k = 0; k < 5; ++k) {
        payload.insert(payload.end(), back.buffer.begin() + static_cast<std::ptrdiff_t>(9 * k + 1),
                       back.buffer.begin() + static_cast<std::ptrdiff_t>(9 * k + 9));
    }
    EXPECT_EQ(Bytes(payload.begin() + 5, payload.begin() + 36), block);
}

TEST_F(UsbReader, WriteCutShortIsForgottenAfterAPause) {
    const auto ref = open();
    ASSERT_EQ(send(ref, {0x1B, 0x1D, 0x00, 0x10, 0x1F, 0, 0, 0}), kHidSuccess);
    ASSERT_EQ(send(ref, {1, 2, 3, 4, 5, 6, 7, 8}), kHidSuccess);
    clock.advance(1s);
    ASSERT_EQ(send(ref, {0x1B, 0x00}), kHidSuccess);
    EXPECT_EQ(read(ref, 2).returned, 18u) << "the handshake is a command again";
    EXPECT_EQ(Bytes(reader.settings().begin(), reader.settings().end()), DefaultBlock());
}

TEST_F(UsbReader, ResetEchoesAndRestoresTheFactoryBlock) {
    const auto ref = open();
    sendCommand(ref, Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock(6)}));
    read(ref, 1);
    ASSERT_EQ(send(ref, {0x1B, 0x21, 0x01, 0xFF}), kHidSuccess);
    EXPECT_EQ(read(ref, 1).buffer, Bytes({0x00, 0x1B, 0x21, 0x01, 0xFF, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(reader.settings().begin(), reader.settings().end()), DefaultBlock());
}

TEST_F(UsbReader, UnknownCommandsAndOtherAddressesGetNoAnswer) {
    const auto ref = open();
    for (const Bytes& payload : {Bytes{0x1B, 0x1C, 0x00, 0x11, 0x1F}, Bytes{0x1B, 0x21, 0x01, 0x00},
                                 Bytes{0x1B, 0x55}, Bytes{0x42, 0x00}, Bytes{0x1B, 0xA8}}) {
        ASSERT_EQ(send(ref, payload), kHidSuccess);
        EXPECT_EQ(read(ref, 1).returned, 0u) << int(payload[1]);
    }
}

// --- The library's rules

TEST_F(UsbReader, CountsOnlyPresentDevicesWithTheReadersIds) {
    ReaderModel other;
    hid.attach(other, HidDeviceOptions{.vendorId = 0x046D, .productId = 0xC077});
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
    hid.unplug(0);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 0u);
    HidDeviceRef ref = 0;
    EXPECT_NE(hid.HidDevice_Open(ref, 0, kVid, kPid, 0), kHidSuccess);
    hid.plugIn(0);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
}

TEST_F(UsbReader, DeviceWhoseFirstOpenFailsOpensTheSecondTime) {
    ReaderModel second;
    SimHidLibrary library(clock);
    library.attach(reader, HidDeviceOptions{.failingOpens = 1});
    library.attach(second);
    HidDeviceRef ref = 0;
    EXPECT_EQ(library.HidDevice_GetNumHidDevices(kVid, kPid), 2u);
    EXPECT_NE(library.HidDevice_Open(ref, 0, kVid, kPid, 0), kHidSuccess);
    ASSERT_EQ(library.HidDevice_Open(ref, 1, kVid, kPid, 0), kHidSuccess);
    ASSERT_EQ(library.HidDevice_SetOutputReport_Interrupt(ref, Bytes{0, 0x1B, 0, 0, 0, 0, 0, 0, 0}),
              kHidSuccess);
    EXPECT_EQ(second.framesReceived(), 1);
    EXPECT_EQ(reader.framesReceived(), 0);
    EXPECT_EQ(library.HidDevice_Open(ref, 0, kVid, kPid, 0), kHidSuccess);
}

TEST_F(UsbReader, ReportsTheReportLengthsItWasGiven) {
    SimHidLibrary library(clock);
    library.attach(reader, HidDeviceOptions{.inputReportLength = 65, .outputReportLength = 65});
    library.attach(reader, HidDeviceOptions{.inputReportLength = 9, .outputReportLength = 33});
    HidDeviceRef wide = 0;
    HidDeviceRef mixed = 0;
    ASSERT_EQ(library.HidDevice_Open(wide, 0, kVid, kPid, 0), kHidSuccess);
    ASSERT_EQ(library.HidDevice_Open(mixed, 1, kVid, kPid, 0), kHidSuccess);
    EXPECT_EQ(library.HidDevice_GetInputReportBufferLength(wide), 65);
    EXPECT_EQ(library.HidDevice_GetOutputReportBufferLength(wide), 65);
    EXPECT_EQ(library.HidDevice_GetInputReportBufferLength(mixed), 9);
    EXPECT_EQ(library.HidDevice_GetOutputReportBufferLength(mixed), 33);
    EXPECT_NE(library.HidDevice_SetOutputReport_Interrupt(mixed, Bytes(9, 0)), kHidSuccess)
        << "a 9-byte report does not fit a 33-byte output report";
}

TEST_F(UsbReader, ClosingAnUnknownReferenceDoesNoHarm) {
    const auto ref = open();
    EXPECT_NE(hid.HidDevice_Close(0), kHidSuccess);
    EXPECT_NE(hid.HidDevice_Close(ref + 100), kHidSuccess);
    EXPECT_EQ(send(ref, {0x1B, 0x00}), kHidSuccess) << "the open device is untouched";
    EXPECT_EQ(hid.HidDevice_Close(ref), kHidSuccess);
    EXPECT_NE(hid.HidDevice_Close(ref), kHidSuccess);
    EXPECT_EQ(hid.closeCalls(), 4);
    EXPECT_EQ(hid.openHandles(), 0u);
    EXPECT_NE(send(ref, {0x1B, 0x00}), kHidSuccess) << "a closed reference sends nothing";
}

TEST_F(UsbReader, SilentReaderCostsOneTimeoutPerRead) {
    const auto ref = open();
    const auto start = clock.now();
    const auto reply = read(ref, 5);
    EXPECT_EQ(reply.status, kHidTransferTimeout);
    EXPECT_EQ(reply.returned, 0u);
    EXPECT_EQ(clock.now() - start, 500ms);
    EXPECT_EQ(reply.buffer, Bytes(45, 0xEE));
}

TEST_F(UsbReader, RecordsEveryReportSent) {
    const auto ref = open();
    send(ref, {0x1B, 0x21, 0x01, 0xFF});
    hid.HidDevice_Close(ref);
    send(ref, {0x1B, 0x00});
    ASSERT_EQ(hid.sentReports().size(), 2u);
    EXPECT_EQ(hid.sentReports()[0].bytes, Bytes({0, 0x1B, 0x21, 0x01, 0xFF, 0, 0, 0, 0}));
    EXPECT_EQ(hid.sentReports()[0].status, kHidSuccess);
    EXPECT_NE(hid.sentReports()[1].status, kHidSuccess);
    EXPECT_EQ(hid.reportsSentTo(0).size(), 1u);
}

TEST_F(UsbReader, ReportsSentWhileClosedAreLostOnTheNextOpen) {
    auto ref = open();
    send(ref, {0x1B, 0x00});
    hid.HidDevice_Close(ref);
    clock.advance(100ms);
    ref = open();
    EXPECT_EQ(read(ref, 2).returned, 0u);
}

// --- Faults

TEST_F(UsbReader, ChosenReplyByteIsWrong) {
    reader.faults().wrongByte = Faults::ByteChange{6, 171};
    reader.faults().onlyCommand = 0x1D;
    const auto ref = open();
    send(ref, {0x1B, 0x00});
    EXPECT_EQ(read(ref, 2).buffer[8], 'I') << "other replies are untouched";
    sendCommand(ref, Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()}));
    EXPECT_EQ(read(ref, 1).buffer, Bytes({0x00, 0x1B, 0x1D, 0x00, 0x10, 0x01, 171, 0x00, 0x00}));
}

TEST_F(UsbReader, WrongHandshakeByteOrWholeAnswer) {
    reader.faults().wrongByte = Faults::ByteChange{3, 0x08};
    const auto ref = open();
    send(ref, {0x1B, 0x00});
    EXPECT_EQ(read(ref, 2).buffer[3], 0x08);
    reader.faults() = {};
    reader.faults().identifyReply = Bytes{0x1B, 0x00, 0x07, '4', '7', '2', '1', 'I'};
    send(ref, {0x1B, 0x00});
    const auto reply = read(ref, 2);
    EXPECT_EQ(Bytes(reply.buffer.begin(), reply.buffer.begin() + 9),
              Bytes({0, 0x1B, 0x00, 0x07, '4', '7', '2', '1', 'I'}));
    EXPECT_EQ(reply.returned, 9u);
}

TEST_F(UsbReader, ShortSettingsReplyEndsAfterItsBytes) {
    reader.faults().shortReply = 27;
    const auto ref = open();
    send(ref, {0x1B, 0x1C, 0x00, 0x10, 0x1F});
    const auto reply = read(ref, 5);
    EXPECT_EQ(reply.returned, 27u);
    EXPECT_NE(reply.status, kHidSuccess);
}

TEST_F(UsbReader, SlowReplyMissesTheReadAndWaitsForTheNext) {
    reader.faults().extraLatency = 700ms;
    const auto ref = open();
    send(ref, {0x1B, 0x21, 0x01, 0xFF});
    EXPECT_EQ(read(ref, 1).returned, 0u);
    const auto late = read(ref, 1);
    EXPECT_EQ(late.returned, 9u);
    EXPECT_EQ(late.buffer[2], 0x21);
    EXPECT_EQ(clock.now(), 702ms);
}

TEST_F(UsbReader, SilentAfterFramesTakesNothingMore) {
    reader.faults().silentAfterFrames = 1;
    const auto ref = open();
    send(ref, {0x1B, 0x00});
    EXPECT_EQ(read(ref, 2).returned, 18u);
    EXPECT_EQ(send(ref, {0x1B, 0x21, 0x01, 0xFF}), kHidSuccess) << "it still takes the report";
    EXPECT_EQ(read(ref, 1).returned, 0u);
}

TEST_F(UsbReader, VanishingReaderFailsTheNextSendAndLeavesTheBus) {
    reader.faults().vanishAfterFrames = 3;
    const auto ref = open();
    const Bytes command = Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()});
    EXPECT_EQ(send(ref, {0x1B, 0x00}), kHidSuccess);
    EXPECT_EQ(send(ref, Bytes(command.begin(), command.begin() + 8)), kHidSuccess);
    EXPECT_EQ(send(ref, Bytes(command.begin() + 8, command.begin() + 16)), kHidSuccess);
    EXPECT_NE(send(ref, Bytes(command.begin() + 16, command.begin() + 24)), kHidSuccess);
    EXPECT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 0u);
    EXPECT_EQ(read(ref, 1).returned, 0u);
}

TEST_F(UsbReader, VersionLengthByteCanPromiseMoreThanFollows) {
    reader.faults().versionLengthExcess = 4;
    const auto ref = open();
    send(ref, {0x1B, 0x01});
    EXPECT_EQ(read(ref, 9).buffer[3], 9);
}

TEST(SimulatedUsbReader, OneReaderOnItsOwnBus) {
    VirtualClock clock;
    ReaderConfig config;
    config.version = "V9.00";
    SimulatedUsbReader usb(clock, config);
    HidLibrary& hid = usb.library();
    HidDeviceRef ref = 0;
    ASSERT_EQ(hid.HidDevice_GetNumHidDevices(kVid, kPid), 1u);
    ASSERT_EQ(hid.HidDevice_Open(ref, 0, kVid, kPid, 0), kHidSuccess);
    ASSERT_EQ(hid.HidDevice_SetOutputReport_Interrupt(ref, OutputReport({0x1B, 0x01})),
              kHidSuccess);
    Bytes buffer(81, 0);
    std::uint32_t returned = 0;
    hid.HidDevice_GetInputReport_Interrupt(ref, buffer, 9, returned);
    EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.begin() + 9), Ascii("V9.00"));
    EXPECT_EQ(usb.reader().framesReceived(), 1);
}

}  // namespace
}  // namespace rq::sim
