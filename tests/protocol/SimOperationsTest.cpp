#include <gtest/gtest.h>

#include <variant>

#include "OperationRig.h"
#include "ReaderModel.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "core/Text.h"
#include "protocol/ReaderOperations.h"
#include "protocol/SettingsBlock.h"

// The operations end to end against the simulated reader, on USB through its HID
// library and on RS232 through its serial ports, on virtual time.
namespace rq {
namespace {

using namespace std::chrono_literals;
using sim::Bytes;
using testing::kNoUsb;
using testing::kUsbFound;
using testing::Lines;

constexpr std::size_t kFirstDevice = 0;
constexpr int kReaderPort = 3;

Bytes Encoded(const ReaderSettings& s) {
    const auto block = std::get<SettingsBlock>(EncodeSettings(s));
    return {block.begin(), block.end()};
}

Bytes ReaderBlock(const sim::ReaderModel& reader) {
    return {reader.settings().begin(), reader.settings().end()};
}

sim::SettingsBlock ToSimBlock(const Bytes& bytes) {
    sim::SettingsBlock block{};
    std::copy_n(bytes.begin(), block.size(), block.begin());
    return block;
}

// A reader whose RS232 runs at 19200 baud, so the search finds it in its second pass.
sim::ReaderConfig At19200(sim::Revision revision = sim::Revision::B) {
    sim::ReaderConfig config;
    config.revision = revision;
    config.settings[0] = 6;
    return config;
}

class SimOperations : public ::testing::Test {
  protected:
    void onUsb() { hid.attach(reader); }
    void onSerial() { serial.attachReader(kReaderPort, reader); }
    void makeReader(const sim::ReaderConfig& config) { reader = sim::ReaderModel(config); }

    [[nodiscard]] static std::vector<std::string> serialLines(
        const std::vector<std::string>& tail,
        const std::string& found = "Found NEW 4720B RS232 at com:  3 Baud: 19200") {
        return Lines(Lines(kNoUsb, {"Searching COM 1~16 for 4720... ", found}), tail);
    }
    // The reports the reader received after the handshake.
    [[nodiscard]] std::vector<Bytes> usbCommands() const {
        auto reports = hid.reportsSentTo(kFirstDevice);
        reports.erase(
            std::remove(reports.begin(), reports.end(), Bytes{0, 0x1B, 0, 0, 0, 0, 0, 0, 0}),
            reports.end());
        return reports;
    }
    // What the reader's port received after the probes.
    [[nodiscard]] std::vector<Bytes> serialCommands() const {
        std::vector<Bytes> frames;
        for (const auto& write : serial.writesTo(kReaderPort)) {
            if (write.bytes != Bytes{0x1B, 0x00}) {
                frames.push_back(write.bytes);
            }
        }
        return frames;
    }
    void expectEndedCleanly() {
        EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
        EXPECT_EQ(hid.openHandles(), 0u);
        EXPECT_FALSE(serial.isOpen());
    }

    sim::ReaderModel reader{At19200()};
    sim::VirtualClock clock;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    testing::OperationRig<sim::SimHidLibrary, sim::SimSerialPort, sim::VirtualClock> rig{
        hid, serial, clock};
};

// ---- USB ----

TEST_F(SimOperations, UsbWriteThenReadBringsTheSettingsBack) {
    onUsb();
    rig.settings = testing::EditedSettings();

    WriteSettingsToReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Wrote memory block: 1  2  3  4  5 ",
                                                 "Programming settings to RQ-4720 USB OK!"}));
    EXPECT_EQ(ReaderBlock(reader), Encoded(testing::EditedSettings()));
    const auto sent = usbCommands();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], (Bytes{0, 27, 29, 0, 16, 31, 9, 255, 3}));
    // The on-remove padding, buzzer off, Caps Lock on, then the report's zero fill.
    EXPECT_EQ(sent[4], (Bytes{0, 32, 32, 0, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(serial.writes().empty());
    expectEndedCleanly();

    rig.settings = ReaderSettings{};
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Read 4720B USB value OK!"}));
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    EXPECT_EQ(usbCommands().back(), (Bytes{0, 27, 28, 0, 16, 31, 0, 0, 0}));
    // The reply kept as text: header, block and the 4 zero bytes that end report 5.
    const std::string reply = rig.state.ReplyText;
    // 40 characters; the PS/2 lock byte 255 ("ÿ") and the postfix's "é" take two bytes each.
    ASSERT_EQ(reply.size(), 40u + 2u);
    EXPECT_EQ(reply.substr(0, 5), std::string("\x1B\x1C\x00\x10\x1F", 5));
    EXPECT_EQ(reply.substr(reply.size() - 4), std::string(4, '\0'));
    expectEndedCleanly();
}

TEST_F(SimOperations, UsbWriteGivesTheReaderASecondBeforeReadingTheAcknowledgement) {
    onUsb();
    WriteSettingsToReader(rig.ctx);
    ASSERT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 USB OK!");
    ASSERT_EQ(usbCommands().size(), 5u);
    const auto& fifthBlock = hid.sentReports().back();
    const auto& acknowledgement = hid.reads().back();
    EXPECT_EQ(acknowledgement.reports, 1u);
    EXPECT_GE(acknowledgement.started - fifthBlock.at, 1s);
}

TEST_F(SimOperations, UsbWriteAcknowledgementWithAWrongByteIsAnError) {
    onUsb();
    reader.faults().onlyCommand = 0x1D;
    reader.faults().wrongByte = sim::Faults::ByteChange{6, 171};
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 USB Error! 0");
    EXPECT_TRUE(serial.writes().empty());
    expectEndedCleanly();
}

TEST_F(SimOperations, UsbWriteToAReaderGoneAfterTwoBlocksSaysSo) {
    onUsb();
    reader.faults().vanishAfterFrames = 3;  // the handshake and two blocks
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Wrote memory block: 1  2 ",
                                                 "Programming settings to RQ-4720 USB Error! " +
                                                     text::Hex(hid.sentReports().back().status)}));
    EXPECT_NE(hid.sentReports().back().status, kHidSuccess);
    EXPECT_EQ(hid.reads().size(), 1u);  // the handshake only
    EXPECT_TRUE(serial.openAttempts().empty());
    expectEndedCleanly();
}

TEST_F(SimOperations, UsbReadOfACutReplyChangesNothing) {
    onUsb();
    rig.settings = testing::EditedSettings();
    reader.faults().onlyCommand = 0x1C;
    reader.faults().shortReply = 27;  // three reports of five, header intact
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Read 4720B USB value Error!"}));
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    expectEndedCleanly();
}

TEST_F(SimOperations, UsbResetRestoresTheReadersDefaultsButNotTheWindows) {
    onUsb();
    reader.setSettings(ToSimBlock(Encoded(testing::EditedSettings())));
    rig.settings = testing::EditedSettings();

    ResetReaderToDefaults(rig.ctx);

    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"RQ-4720 USB Reset to default OK!"}));
    EXPECT_EQ(usbCommands(), (std::vector<Bytes>{{0, 27, 33, 1, 255, 0, 0, 0, 0}}));
    EXPECT_EQ(reader.settings(), sim::FactorySettings());
    EXPECT_EQ(rig.settings, testing::EditedSettings());

    ReadSettingsFromReader(rig.ctx);
    ReaderSettings defaults;
    defaults.capsLockEnabled = true;
    EXPECT_EQ(rig.settings, defaults);
    expectEndedCleanly();
}

TEST_F(SimOperations, UsbVersionIsShownBetweenEmptyLines) {
    onUsb();
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              Lines(kUsbFound, {"Reading firmware version from RQ-4720 USB...", "", "V2.20", ""}));
    EXPECT_EQ(rig.log.drawn.back().colour, kVersionTextColour);
    EXPECT_EQ(rig.log.colour(), kStatusTextColour);
    EXPECT_EQ(usbCommands(), (std::vector<Bytes>{{0, 27, 1, 0, 0, 0, 0, 0, 0}}));
    expectEndedCleanly();

    reader.faults().silentAfterFrames = reader.framesReceived() + 1;  // answers the handshake
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Reading firmware version from RQ-4720 USB...",
                                                 "Read firmware version from RQ-4720 USB Error!"}));
}

TEST_F(SimOperations, UsbVersionReplyToAnotherCommandIsAnError) {
    onUsb();
    reader.faults().onlyCommand = 0x01;
    reader.faults().wrongByte = sim::Faults::ByteChange{2, 2};  // the command byte
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Reading firmware version from RQ-4720 USB...",
                                                 "Read firmware version from RQ-4720 USB Error!"}));
    EXPECT_EQ(rig.state.ReplyText, "");
    expectEndedCleanly();
}

// ---- RS232 ----

TEST_F(SimOperations, SerialWriteThenReadFollowsTheReaderToItsNewRate) {
    onSerial();
    rig.settings = testing::EditedSettings();  // baud code 9: the reader moves to 115200

    WriteSettingsToReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), serialLines({"Programming settings to RQ-4720 RS232 OK!"}));
    Bytes command = {27, 29, 0, 16, 31};
    for (std::uint8_t b : Encoded(rig.settings)) {
        command.push_back(b);
    }
    EXPECT_EQ(serialCommands(), std::vector<Bytes>{command});
    EXPECT_EQ(ReaderBlock(reader), Encoded(testing::EditedSettings()));
    expectEndedCleanly();

    rig.settings = ReaderSettings{};
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"Read 4720B RS232 value OK!"},
                                           "Found NEW 4720B RS232 at com:  3 Baud: 115200"));
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    EXPECT_EQ(serialCommands().back(), (Bytes{27, 28, 0, 16, 31}));
    expectEndedCleanly();
}

TEST_F(SimOperations, SerialReadFromRevisionADisablesCapsLock) {
    makeReader(At19200(sim::Revision::A));
    auto block = reader.settings();
    block[30] = 1;
    reader.setSettings(block);
    onSerial();

    ReadSettingsFromReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), serialLines({"Read 4720A RS232 value OK!"},
                                           "Found 4720A RS232 at com:  3 Baud: 19200"));
    EXPECT_FALSE(rig.settings.capsLock);
    EXPECT_FALSE(rig.settings.capsLockEnabled);
}

TEST_F(SimOperations, SerialReplyFaultsGiveTheErrorLinesWithTheirCodes) {
    onSerial();
    rig.settings = testing::EditedSettings();
    reader.faults().onlyCommand = 0x1C;
    reader.faults().shortReply = 35;
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"Read RS232 value Error!0"}));
    EXPECT_EQ(rig.settings, testing::EditedSettings());

    reader.faults().onlyCommand = 0x1D;
    reader.faults().shortReply.reset();
    reader.faults().wrongByte = sim::Faults::ByteChange{4, 0};
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"Programming settings to RQ-4720 RS232 Error!0"}));

    // Unplugged right after the search: the write itself fails.
    reader.faults() = {};
    reader.faults().vanishAfterFrames = reader.framesReceived() + 1;  // answers the probe
    WriteSettingsToReader(rig.ctx);
    // The write before was stored though its acknowledgement was wrong: a new rate.
    EXPECT_EQ(rig.log.lines(), serialLines({"Programming settings to RQ-4720 RS232 Error!4"},
                                           "Found NEW 4720B RS232 at com:  3 Baud: 115200"));
    expectEndedCleanly();
}

TEST_F(SimOperations, SerialResetIsReportedOnlyWhenEchoed) {
    onSerial();
    reader.setSettings(ToSimBlock(Encoded(testing::EditedSettings())));
    ResetReaderToDefaults(rig.ctx);
    // After the reset the reader talks at 9600 again; the echo still came at 19200.
    EXPECT_EQ(rig.log.lines(), serialLines({"RQ-4720 RS232 Reset to default!"},
                                           "Found NEW 4720B RS232 at com:  3 Baud: 115200"));
    EXPECT_EQ(serialCommands(), (std::vector<Bytes>{{27, 33, 1, 255}}));
    EXPECT_EQ(reader.settings(), sim::FactorySettings());
    expectEndedCleanly();

    reader.faults().vanishAfterFrames = reader.framesReceived() + 1;  // unplugged after the probe
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"RQ-4720 RS232 Reset Error!"},
                                           "Found NEW 4720B RS232 at com:  3 Baud: 9600"));
    expectEndedCleanly();
}

TEST_F(SimOperations, SerialRepliesCountUpToASecondAfterTheRequest) {
    onSerial();
    const struct {
        std::uint8_t command;
        Outcome (*operation)(OperationContext&);
        std::string ok;
        std::string error;
    } cases[] = {
        {0x1C, ReadSettingsFromReader, "Read 4720B RS232 value OK!", "Read RS232 value Error!0"},
        {0x1D, WriteSettingsToReader, "Programming settings to RQ-4720 RS232 OK!",
         "Programming settings to RQ-4720 RS232 Error!0"},
        {0x21, ResetReaderToDefaults, "RQ-4720 RS232 Reset to default!",
         "RQ-4720 RS232 Reset Error!"},
    };
    for (const auto& c : cases) {
        reader.faults().onlyCommand = c.command;
        for (const auto& [latency, expected] :
             {std::pair{900ms, c.ok}, std::pair{1100ms, c.error}}) {
            reader.faults().extraLatency = latency;
            EXPECT_EQ(c.operation(rig.ctx), latency < 1s ? Outcome::Done : Outcome::Failed);
            const auto lines = rig.log.lines();
            // The searches' four lines, then only the outcome.
            ASSERT_EQ(lines.size(), 5u) << c.ok << ' ' << latency.count();
            EXPECT_EQ(lines.back(), expected) << latency.count();
            expectEndedCleanly();
            clock.advance(2s);  // a late reply is over before the next request
        }
    }
}

TEST_F(SimOperations, SerialVersionNeedsTenBytesAndReportsAShortText) {
    onSerial();
    ReadFirmwareVersion(rig.ctx);  // 27 1 5 "V2.20" CR LF: 10 bytes
    const std::string reading = "Reading firmware version from RQ-4720 RS232...";
    EXPECT_EQ(rig.log.lines(), serialLines({reading, "", "V2.20", ""}));
    EXPECT_EQ(serialCommands(), (std::vector<Bytes>{{27, 1}}));

    reader.faults().versionLengthExcess = 4;  // announces 9, 7 follow
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              serialLines({reading, "Read firmware version from RQ-4720 RS232 Error!6", "",
                           "V2.20\r\n", ""}));

    sim::ReaderConfig shortVersion = At19200();
    shortVersion.version = "V1";
    makeReader(shortVersion);
    ReadFirmwareVersion(rig.ctx);  // 7 bytes
    EXPECT_EQ(rig.log.lines(),
              serialLines({reading, "Read firmware version from RQ-4720 RS232 Error!0"}));
    expectEndedCleanly();
}

TEST_F(SimOperations, NoReaderAnywhereLeavesOnlyTheSearchLines) {
    serial.addSilentPort(1);
    serial.addBusyPort(2);
    const std::vector<std::string> searches = Lines(
        kNoUsb,
        {"Searching COM 1~16 for 4720... ", "Can not find 4720 at com 1~16 with all baud rate!"});
    rig.settings = testing::EditedSettings();
    for (auto operation : {WriteSettingsToReader, ReadSettingsFromReader, ResetReaderToDefaults,
                           ReadFirmwareVersion}) {
        operation(rig.ctx);
        EXPECT_EQ(rig.log.lines(), searches);
        expectEndedCleanly();
    }
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    for (const auto& write : serial.writes()) {
        EXPECT_EQ(write.bytes, (Bytes{0x1B, 0x00}));
    }
}

}  // namespace
}  // namespace rq
