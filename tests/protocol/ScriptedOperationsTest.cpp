#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "OperationRig.h"
#include "ScriptedReader.h"
#include "protocol/ReaderOperations.h"
#include "protocol/SettingsBlock.h"

// The operations against scripted links: every status line and every byte sent, with
// the faults staged exactly.
namespace rq {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::kNoUsb;
using testing::kUsbFound;
using testing::Lines;

const std::string kSerialFound = "Found NEW 4720B RS232 at com:  3 Baud: 19200";
const std::vector<std::string> kSerialSearch = {"Searching COM 1~16 for 4720... ", kSerialFound};

// Joined into a fresh vector (GCC 12 misreports insert() into a braced vector).
Bytes Join(const Bytes& a, const Bytes& b) {
    Bytes joined(a.size() + b.size());
    std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), joined.begin()));
    return joined;
}

Bytes BlockBytes(const ReaderSettings& s) {
    const auto block = std::get<SettingsBlock>(EncodeSettings(s));
    return {block.begin(), block.end()};
}

// The five reports of a settings reply carrying `block`, report IDs in place.
Bytes UsbSettingsReply(const Bytes& block, std::uint8_t length = 31) {
    Bytes payload = Join({27, 28, 0, 16, length}, block);
    payload.resize(40, 0xCC);  // whatever the reader sends after the block
    Bytes reports;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (i % 8 == 0) {
            reports.push_back(0);
        }
        reports.push_back(payload[i]);
    }
    return reports;
}

Bytes SerialSettingsReply(const Bytes& block) {
    return Join({27, 28, 0, 16, 31}, block);
}

class ScriptedOperations : public ::testing::Test {
  protected:
    void useSerialOnly() { hid.attached = false; }
    [[nodiscard]] std::vector<std::string> serialLines(std::vector<std::string> tail) const {
        return Lines(Lines(kNoUsb, kSerialSearch), tail);
    }
    void expectEndedCleanly() {
        EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
        EXPECT_FALSE(hid.open);
        EXPECT_FALSE(serial.isOpen());
    }

    testing::ScriptedHid hid;
    testing::ManualClock clock;
    testing::ScriptedSerial serial{clock};
    testing::OperationRig<testing::ScriptedHid, testing::ScriptedSerial, testing::ManualClock> rig{
        hid, serial, clock};
};

// ---- Write ----

TEST_F(ScriptedOperations, UsbWriteWithWrongOrMissingAcknowledgementShowsTheReadStatus) {
    hid.replies.push_back({{0, 27, 29, 0, 16, 1, 171, 0, 0}});
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 USB Error! 0");

    WriteSettingsToReader(rig.ctx);  // silent reader: the library's timeout status
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 USB Error! 4");
    EXPECT_EQ(rig.log.text().find("Searching COM"), std::string::npos);
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, UsbWriteShowsEveryBlockBeforeTheAcknowledgementIsRead) {
    hid.trace = &rig.log.trace;
    hid.replies.push_back({{0, 27, 29, 0, 16, 1, 170, 0, 0}});

    WriteSettingsToReader(rig.ctx);

    // Each block number is on screen before the next block goes out, the last one before
    // the wait for the acknowledgement.
    std::vector<std::string> expected = {"piece:Wrote memory block:", "repaint"};
    for (const char* block : {"piece: 1 ", "piece: 2 ", "piece: 3 ", "piece: 4 ", "line: 5 "}) {
        for (const char* entry : {"hid:send", block, "repaint"}) {
            expected.emplace_back(entry);
        }
    }
    for (const char* entry :
         {"hid:read", "line:Programming settings to RQ-4720 USB OK!", "repaint", "hid:close"}) {
        expected.emplace_back(entry);
    }
    const auto& trace = rig.log.trace;
    const auto first = std::find(trace.begin(), trace.end(), expected.front());
    EXPECT_EQ(std::vector<std::string>(first, trace.end()), expected);
}

TEST_F(ScriptedOperations, UsbWriteBlockThatCannotBeSentEndsTheLineWithAnError) {
    hid.sendStatuses = {0, 0, kHidTransferFailed};

    WriteSettingsToReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Wrote memory block: 1  2 ",
                                                 "Programming settings to RQ-4720 USB Error! 5"}));
    EXPECT_EQ(rig.log.openLine(), "");
    EXPECT_EQ(hid.commands().size(), 3u);
    EXPECT_EQ(hid.readSizes.size(), 1u);  // the handshake only: no acknowledgement read
    EXPECT_TRUE(serial.frames.empty());
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, WriteRefusesACharacterTheReaderCannotHoldBeforeSearching) {
    rig.settings.postfix = "x\u2605";
    rig.state.LinkStatus = LinkState::Err;

    WriteSettingsToReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), (std::vector<std::string>{
                                   "Cannot write: \"Postfix characters\" holds \u2605 (U+2605), "
                                   "which the reader cannot store"}));
    EXPECT_TRUE(hid.sent.empty());
    EXPECT_TRUE(serial.frames.empty());
    EXPECT_EQ(serial.closes, 0);
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
}

TEST_F(ScriptedOperations, SerialWriteErrorsCarryTheFailureCode) {
    useSerialOnly();
    serial.replies.push_back({{27, 29, 0, 16, 0, 170}});
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"Programming settings to RQ-4720 RS232 Error!0"}));

    const auto before = clock.now();
    WriteSettingsToReader(rig.ctx);  // no acknowledgement
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 RS232 Error!0");
    EXPECT_GE(clock.now() - before, 1s);

    serial.replies.push_back({{27, 29, 0, 16, 1, 170, 0}});  // one byte too many
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 RS232 Error!0");

    serial.outputFailure = SerialFailure::WriteFailed;
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Programming settings to RQ-4720 RS232 Error!4");
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, SerialWriteAcknowledgedDespiteAFailureShowsBothLines) {
    useSerialOnly();
    serial.outputFailure = SerialFailure::WriteFailed;
    serial.replies.push_back({{27, 29, 0, 16, 1, 170}});
    WriteSettingsToReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"Programming settings to RQ-4720 RS232 OK!",
                                            "Programming settings to RQ-4720 RS232 Error!4"}));
}

// ---- Read ----

TEST_F(ScriptedOperations, UsbReadWithAWrongHeaderChangesNothing) {
    rig.settings = testing::EditedSettings();
    hid.replies.push_back({UsbSettingsReply(BlockBytes(ReaderSettings{}), 30)});
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Read 4720B USB value Error!"}));
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    EXPECT_EQ(rig.log.text().find("Searching COM"), std::string::npos);
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, UsbReadMissingReportsIsAnErrorEvenOverStaleBytes) {
    rig.settings = testing::EditedSettings();
    // A complete earlier reply still sits in the buffer; only two reports arrive now.
    const Bytes full = UsbSettingsReply(BlockBytes(ReaderSettings{}));
    std::copy(full.begin(), full.end(), rig.state.InBuffer.begin());
    hid.replies.push_back({Bytes(full.begin(), full.begin() + 18), kHidTransferTimeout});

    ReadSettingsFromReader(rig.ctx);

    EXPECT_EQ(rig.log.lines().back(), "Read 4720B USB value Error!");
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    EXPECT_EQ(rig.state.InBuffer[30], 0);  // cleared before the read

    ReadSettingsFromReader(rig.ctx);  // a silent reader
    EXPECT_EQ(rig.log.lines().back(), "Read 4720B USB value Error!");
    EXPECT_EQ(rig.settings, testing::EditedSettings());
}

TEST_F(ScriptedOperations, SerialReadOfAWrongLengthOrHeaderChangesNothing) {
    useSerialOnly();
    rig.settings = testing::EditedSettings();
    const Bytes reply = SerialSettingsReply(BlockBytes(ReaderSettings{}));
    Bytes shortReply(reply.begin(), reply.end() - 1);
    Bytes longReply = reply;
    longReply.push_back(0);
    Bytes wrongHeader = reply;
    wrongHeader[4] = 30;
    for (const Bytes& bad : {shortReply, longReply, wrongHeader, Bytes{}}) {
        serial.replies.push_back({bad});
        ReadSettingsFromReader(rig.ctx);
        EXPECT_EQ(rig.log.lines(), serialLines({"Read RS232 value Error!0"})) << bad.size();
        EXPECT_EQ(rig.settings, testing::EditedSettings());
    }

    serial.unplugAfterSearch = true;
    serial.replies.push_back({reply});
    ReadSettingsFromReader(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Read RS232 value Error!5");
    EXPECT_EQ(rig.settings, testing::EditedSettings());
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, WriteAfterReadSendsTheSameBlockButNormalisedValuesAndPadding) {
    Bytes block = BlockBytes(testing::EditedSettings());
    block[2] = 7;     // a delimiter the window has no entry for
    block[11] = 'q';  // junk after the 2-character prefix
    hid.replies.push_back({UsbSettingsReply(block)});
    ReadSettingsFromReader(rig.ctx);

    hid.replies.push_back({{0, 27, 29, 0, 16, 1, 170, 0, 0}});
    WriteSettingsToReader(rig.ctx);

    Bytes expected = block;
    expected[2] = 4;
    expected[11] = ' ';
    Bytes written;
    const auto sent = hid.commands();  // the read request, then the write's five reports
    ASSERT_EQ(sent.size(), 6u);
    for (std::size_t r = 1; r < sent.size(); ++r) {
        written.insert(written.end(), sent[r].begin() + 1, sent[r].end());
    }
    ASSERT_EQ(written.size(), 40u);
    EXPECT_EQ(Bytes(written.begin() + 5, written.begin() + 36), expected);
}

TEST_F(ScriptedOperations, SerialReadShowsItsOutcomeBeforeThePortIsClosed) {
    useSerialOnly();
    serial.trace = &rig.log.trace;
    serial.replies.push_back({SerialSettingsReply(BlockBytes(ReaderSettings{}))});

    ReadSettingsFromReader(rig.ctx);

    const auto& trace = rig.log.trace;
    const auto request = std::find(trace.rbegin(), trace.rend(), "serial:output").base();
    EXPECT_EQ(
        std::vector<std::string>(request, trace.end()),
        (std::vector<std::string>{"line:Read 4720B RS232 value OK!", "repaint", "serial:close"}));
}

// ---- Reset ----

TEST_F(ScriptedOperations, ResetCancelTouchesNothing) {
    rig.state.LinkStatus = LinkState::Err;
    rig.log.appendLine("before");
    rig.dialogs.answers.push_back(DialogAnswer::Cancel);

    ResetReaderToDefaults(rig.ctx);

    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.dialogs.shown[0].prompt, "Confirm ? ");
    EXPECT_EQ(rig.dialogs.shown[0].title, "Reset 4720B");
    EXPECT_EQ(rig.dialogs.shown[0].icon, DialogIcon::Warning);
    EXPECT_EQ(rig.dialogs.shown[0].buttons, DialogButtons::OkCancel);
    EXPECT_EQ(rig.log.lines(), std::vector<std::string>{"before"});
    EXPECT_TRUE(hid.sent.empty());
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Err);
}

TEST_F(ScriptedOperations, UsbResetChecksTheEcho) {
    rig.settings = testing::EditedSettings();
    hid.replies.push_back({{0, 27, 33, 1, 255, 0, 0, 0, 0}});
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"RQ-4720 USB Reset to default OK!"}));
    EXPECT_EQ(hid.commands(), (std::vector<Bytes>{{0, 27, 33, 1, 255, 0, 0, 0, 0}}));
    EXPECT_EQ(hid.readSizes.back(), 9u);
    EXPECT_EQ(rig.settings, testing::EditedSettings());

    hid.replies.push_back({{0, 27, 33, 1, 254, 0, 0, 0, 0}});
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"RQ-4720 USB Reset Error!"}));
    ResetReaderToDefaults(rig.ctx);  // silent
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"RQ-4720 USB Reset Error!"}));
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, SerialResetReportsOnlyAnEchoedReset) {
    useSerialOnly();
    serial.replies.push_back({{27, 33, 1, 255}});
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"RQ-4720 RS232 Reset to default!"}));
    EXPECT_EQ(serial.frames, (std::vector<Bytes>{{27, 33, 1, 255}}));

    serial.replies.push_back({{27, 33, 1, 0}});
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"RQ-4720 RS232 Reset Error!"}));

    // Unplugged after the search: nothing comes back.
    serial.outputFailure = SerialFailure::WriteFailed;
    serial.unplugAfterSearch = true;
    ResetReaderToDefaults(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines({"RQ-4720 RS232 Reset Error!"}));
    expectEndedCleanly();
}

// ---- Version ----

TEST_F(ScriptedOperations, UsbVersionErrorsShowNoVersion) {
    ReadFirmwareVersion(rig.ctx);  // silent: the cleared buffer fails the check
    EXPECT_EQ(rig.log.lines(), Lines(kUsbFound, {"Reading firmware version from RQ-4720 USB...",
                                                 "Read firmware version from RQ-4720 USB Error!"}));
    EXPECT_EQ(rig.state.ReplyText, "");

    // A library that claims more bytes than the buffer holds is not followed past it.
    hid.extraBytesClaimed = 1000;
    hid.replies.push_back({{0, 27, 1, 2, 'O', 'K'}});
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.state.BytesReturned, 81u);
    EXPECT_EQ(rig.log.lines().back(), "");
    EXPECT_EQ(rig.state.ReplyText, "OK");
}

TEST_F(ScriptedOperations, UsbVersionTextStartsAfterTheLengthByte) {
    hid.replies.push_back({{0, 27, 1, '!', 'V', '3', '.', '0', '1'}});  // length byte 33
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              Lines(kUsbFound, {"Reading firmware version from RQ-4720 USB...", "", "V3.01", ""}));
}

TEST_F(ScriptedOperations, UsbVersionQueryIsOnScreenBeforeTheReaderIsAsked) {
    hid.trace = &rig.log.trace;
    ReadFirmwareVersion(rig.ctx);
    const auto& trace = rig.log.trace;
    const auto reading =
        std::find(trace.begin(), trace.end(), "line:Reading firmware version from RQ-4720 USB...");
    ASSERT_GE(std::distance(reading, trace.end()), 4);
    EXPECT_EQ(std::vector<std::string>(reading + 1, reading + 4),
              (std::vector<std::string>{"repaint", "hid:send", "hid:read"}));
}

TEST_F(ScriptedOperations, SerialVersionNeedsTenBytes) {
    useSerialOnly();
    const std::vector<std::string> start = {"Reading firmware version from RQ-4720 RS232..."};
    serial.replies.push_back({{27, 1, 5, 'V', '2', '.', '2', '0'}});
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              serialLines(Lines(start, {"Read firmware version from RQ-4720 RS232 Error!0"})));
    EXPECT_EQ(serial.frames, (std::vector<Bytes>{{27, 1}}));

    serial.replies.push_back({{27, 1, 6, 'V', '2', '.', '2', '0', 'a'}});  // whole, but 9 bytes
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              serialLines(Lines(start, {"Read firmware version from RQ-4720 RS232 Error!0"})));
    EXPECT_EQ(rig.state.ReplyText, "");

    serial.replies.push_back({{27, 1, 7, 'V', '2', '.', '2', '0', 0xE9, 'b'}});
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines(Lines(start, {"", "V2.20éb", ""})));
    EXPECT_EQ(rig.state.SerialReplyReceived, 8);

    serial.replies.push_back({{27, 1, 0, 'x', 'x', 'x', 'x', 'x', 'x', 'x'}});
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines(), serialLines(start));

    serial.replies.push_back({{27, 2, 7, 'V', '2', '.', '2', '0', 'a', 'b'}});
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.log.lines().back(), "Read firmware version from RQ-4720 RS232 Error!0");
    expectEndedCleanly();
}

TEST_F(ScriptedOperations, VersionWithoutReaderAfterASettingsReadShowsNothing) {
    hid.replies.push_back({UsbSettingsReply(BlockBytes(ReaderSettings{}))});
    ReadSettingsFromReader(rig.ctx);
    ASSERT_FALSE(rig.state.ReplyText.empty());

    useSerialOnly();
    serial.readerPort = 0;
    ReadFirmwareVersion(rig.ctx);
    EXPECT_EQ(rig.state.ReplyText, "");
    EXPECT_EQ(rig.log.lines(),
              Lines(kNoUsb, {"Searching COM 1~16 for 4720... ",
                             "Can not find 4720 at com 1~16 with all baud rate!"}));
    expectEndedCleanly();
}

// ---- All operations ----

TEST_F(ScriptedOperations, AnExceptionFromALinkLeavesNothingOpenAndTheLinkStatusEmpty) {
    for (auto operation : {WriteSettingsToReader, ReadSettingsFromReader, ResetReaderToDefaults,
                           ReadFirmwareVersion}) {
        hid.attached = true;
        hid.throwOnReply = true;  // thrown while the device is open
        EXPECT_THROW(operation(rig.ctx), std::runtime_error);
        EXPECT_EQ(rig.log.lines().at(2), "RQ-4720 connected on USB port !");
        expectEndedCleanly();

        useSerialOnly();
        serial.throwOnFrame = true;  // thrown while the port is open
        const std::size_t framesBefore = serial.frames.size();
        EXPECT_THROW(operation(rig.ctx), std::runtime_error);
        EXPECT_EQ(serial.frames.size(), framesBefore + 1);
        expectEndedCleanly();
    }
}

}  // namespace
}  // namespace rq
