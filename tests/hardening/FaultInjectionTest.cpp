// Every operation on every link it runs on, against a reader that vanishes mid-operation,
// answers garbage, answers too slowly, answers twice or floods the port. Each run must end
// with its error line and an outcome other than Done, nothing left open, LinkStatus as
// the operation leaves it, nothing thrown, and within the time-outs the operation waits
// through (on virtual time).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <optional>

#include "SampleFirmware.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "firmware/UpdateFirmware.h"
#include "protocol/OperationRig.h"
#include "protocol/ReaderOperations.h"
#include "settings/SettingsFileTestSupport.h"
#include "testmode/CommunicationTest.h"

namespace rq {
namespace {

using namespace std::chrono_literals;

enum class Op { Write, Read, Reset, Version, Flash, Test };
enum class Link { Usb, Rs232 };
enum class Fault { Vanish, Garbage, Slow, Twice, Flood };

constexpr int kReaderPort = 3;
constexpr std::size_t kImageLength = 100;
// The settings reply: five input reports.
constexpr std::size_t kLongestReply = 45;

class Controls final : public TestModeControls {
  public:
    void setEnabled(TestControl c, bool on) override { enabled_[c] = on; }
    [[nodiscard]] bool isEnabled(TestControl c) const override {
        return !enabled_.contains(c) || enabled_.at(c);
    }
    void setVisible(TestControl c, bool on) override { visible_[c] = on; }
    [[nodiscard]] bool isVisible(TestControl c) const override {
        return !visible_.contains(c) || visible_.at(c);
    }

  private:
    std::map<TestControl, bool> enabled_, visible_;
};

// The command whose replies a fault hits, by Op; the test's is the handshake or probe.
constexpr std::array<std::uint8_t, 6> kCommandOf = {0x1D, 0x1C, 0x21, 0x01, 0xA8, 0x00};
constexpr std::uint8_t kIdentify = 0x00;

std::uint8_t CommandOf(Op op) {
    return kCommandOf.at(static_cast<std::size_t>(op));
}

// The longest each operation may take, in seconds by Op and Link: the sum of the waits it
// can go through. USB: the handshake's two reports at the HID library's 0.5 s each, then
// 0.5 s for each report read (USB rigs have no serial ports to search). RS232: the serial
// search's four 0.2 s waits on port 3, then its reply waits. An update adds its delays:
// six seconds and 20 searches a second apart on USB; a second, the 6 s reboot wait, then
// 1 or 2 s a frame on RS232.
// clang-format off
const std::array<std::array<double, 2>, 6> kBudgetSeconds = {{
    {1 + 1 + 0.5, 0.8 + 1},        // write: a second's delay, the acknowledgement
    {1 + 5 * 0.5, 0.8 + 1},        // read: five reports
    {1 + 0.5, 0.8 + 1},            // reset
    {1 + 9 * 0.5, 0.8 + 0.5},      // version: up to nine reports; the half-second pause
    {1 + 6 + 20 * 2 + 0.5 + 1 + (kImageLength + 5) / 6 * 0.5,
     0.8 + 1 + 6 + 1 + 1 + kImageLength * 2.0 + 2},
    {1, 0.8},                      // test: the searches alone
}};
// clang-format on

Clock::Duration Budget(Op op, Link link) {
    return SecondsToDuration(
        kBudgetSeconds.at(static_cast<std::size_t>(op)).at(static_cast<std::size_t>(link)));
}

struct Rig {
    explicit Rig(Link link) {
        sim::ReaderConfig config;
        config.settings[0] = 6;  // RS232 at 19200 baud: found in the search's second pass
        reader = sim::ReaderModel(config);
        if (link == Link::Usb) {
            hid.attach(reader);
        } else {
            serial.attachReader(kReaderPort, reader);
        }
        rig.state.ReaderRevision = true;
        serial.setReceiveHandler([this] { SerialReceived(rig.ctx); });
    }

    void inject(Op op, Link link, Fault fault) {
        sim::Faults& f = reader.faults();
        f.onlyCommand = CommandOf(op);
        switch (fault) {
            case Fault::Vanish:
                // After the handshake or probe; a USB write after two of its five blocks,
                // an update in the middle of its data. The RS232 test loses its adapter
                // while it runs (see run).
                f.vanishAfterFrames = op == Op::Flash ? (link == Link::Usb ? 8 : 10)
                                      : op == Op::Write && link == Link::Usb ? 3
                                      : op == Op::Test                       ? 0
                                                                             : 1;
                if (op == Op::Test && link == Link::Rs232) {
                    f.vanishAfterFrames.reset();
                    pullAdapterDuringTest = true;
                }
                break;
            case Fault::Garbage: {
                // The command code (on USB after the report ID), or the flash answer byte,
                // or the "4720" the serial search looks for.
                const std::size_t at = link == Link::Usb ? 2
                                       : op == Op::Flash ? 0
                                       : op == Op::Test  ? 3
                                                         : 1;
                f.wrongByte = sim::Faults::ByteChange{at, 0xEE};
                break;
            }
            case Fault::Slow:
                f.extraLatency = 3s;
                break;
            case Fault::Twice:
                // The handshake or probe answered twice: its copy waits ahead of the
                // reply to the command. An update's flash-mode answers come twice.
                f.replyTwice = true;
                if (op != Op::Flash) {
                    f.onlyCommand = kIdentify;
                }
                break;
            case Fault::Flood:
                f.flood = 3s;
                break;
        }
    }

    Outcome run(Op op, Link link) {
        switch (op) {
            case Op::Write:
                return WriteSettingsToReader(rig.ctx);
            case Op::Read:
                return ReadSettingsFromReader(rig.ctx);
            case Op::Reset:
                return ResetReaderToDefaults(rig.ctx);
            case Op::Version:
                return ReadFirmwareVersion(rig.ctx);
            case Op::Flash: {
                const sim::Bytes image = sim::MakeSampleFirmware(kImageLength, "V3.00");
                rig.state.ChosenFilePath = dir.file("new.bin");
                testing::WriteBytes(rig.state.ChosenFilePath,
                                    std::string(image.begin(), image.end()));
                return UpdateFirmware(rig.ctx);
            }
            case Op::Test:
                break;
        }
        const Outcome started = StartTest(rig.ctx, window);
        if (link == Link::Rs232 && pullAdapterDuringTest) {
            reader.placeIButtonId("0123456789AB", clock.now());
            clock.advance(100ms);
            serial.deliverReceiveNotification();
            reader.vanish();
        }
        for (int i = 0; i < 10 && serial.deliverReceiveNotification(); ++i) {
            clock.advance(10ms);
        }
        return started;
    }

    testing::TempDir dir;
    sim::VirtualClock clock;
    sim::ReaderModel reader;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    testing::OperationRig<sim::SimHidLibrary, sim::SimSerialPort, sim::VirtualClock> rig{
        hid, serial, clock};
    Controls window;
    bool pullAdapterDuringTest = false;
};

const char* Name(Op op) {
    constexpr std::array names = {"write", "read", "reset", "version", "flash", "test"};
    return names.at(static_cast<std::size_t>(op));
}
const char* Name(Fault fault) {
    constexpr std::array names = {"vanishes", "garbage", "slow", "twice", "flood"};
    return names.at(static_cast<std::size_t>(fault));
}

// What an operation on one link ends with: its success line, and its last line under each
// fault in the order of Fault (`Same` appends each fault's failure code to one line).
struct Row {
    Op op;
    Link link;
    std::string success;
    std::array<std::string, 5> lastLines;
    LinkState running = LinkState::Empty;  // the test's status while it runs
};

const std::string kStarted = "*** Testing 4720, please put ibutton on 4720 for read ID ***";
const std::string kNotFound = "Can not find 4720 at com 1~16 with all baud rate!";
const std::string kAnyEnd = "*";  // a reply cut or changed in its data may well pass

std::array<std::string, 5> Same(const std::string& line, std::array<const char*, 5> codes) {
    std::array<std::string, 5> lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = line + codes[i];
    }
    return lines;
}

bool IsErrorLine(const std::string& line) {
    for (const char* word : {"Error", "error", "Fail", "abort", "Can not find", "not support"}) {
        if (line.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// clang-format off
const std::vector<Row> kRows = {
    {Op::Write, Link::Usb, "Programming settings to RQ-4720 USB OK!", Same("Programming settings to RQ-4720 USB Error! ", {"5", "0", "4", "0", "0"})},
    {Op::Write, Link::Rs232, "Programming settings to RQ-4720 RS232 OK!", Same("Programming settings to RQ-4720 RS232 Error!", {"4", "0", "0", "0", "0"})},
    {Op::Read, Link::Usb, "Read 4720B USB value OK!", Same("Read 4720B USB value Error!", {"", "", "", "", ""})},
    {Op::Read, Link::Rs232, "Read 4720B RS232 value OK!", Same("Read RS232 value Error!", {"4", "0", "0", "0", "0"})},
    {Op::Reset, Link::Usb, "RQ-4720 USB Reset to default OK!", Same("RQ-4720 USB Reset Error!", {"", "", "", "", ""})},
    {Op::Reset, Link::Rs232, "RQ-4720 RS232 Reset to default!", Same("RQ-4720 RS232 Reset Error!", {"", "", "", "", ""})},
    {Op::Version, Link::Usb, "V2.20", Same("Read firmware version from RQ-4720 USB Error!", {"", "", "", "", ""})},
    {Op::Version, Link::Rs232, "V2.20", Same("Read firmware version from RQ-4720 RS232 Error!", {"4", "0", "0", "0", "0"})},
    {Op::Flash, Link::Usb, "RQ-4720 firmware update finished !",
     {"Total 100 Bytes. Writing:.Write error!", "Firmware update command to RQ4720 ... Fail!",
      "Firmware update command to RQ4720 ... Fail!", "Binary length received error",
      "Firmware update command to RQ4720 ... Fail!"}},
    {Op::Flash, Link::Rs232, "4720B firmware update Finished!",
     {"Total 100 Bytes. Writing:Serial port error, Flash abort!",
      "Waiting for 4720B reboot ...[EE] ACK receive error, Flash abort! ",
      "Firmware update command to 4720B ...Receive device ACK timeout, Flash abort!",
      "Total 100 Bytes. Writing:Receive device ACK timeout, Flash abort!",
      "Waiting for 4720B reboot ...Receive device ACK timeout, Flash abort!"}},
    // A doubled answer to the handshake or probe still names the reader: the test starts
    // (on RS232 it shows the copy, which the reader did send).
    {Op::Test, Link::Usb, kStarted, {kNotFound, kNotFound, kNotFound, kStarted, kNotFound}, LinkState::Usb},
    {Op::Test, Link::Rs232, kStarted, {"Serial port error, Test abort!", kNotFound, kNotFound, kStarted, kNotFound}, LinkState::Test232},
};
// clang-format on

struct RunResult {
    std::vector<std::string> lines;
    int frames = 0;
};

// One run: it ends with `lastLine` (any error line when empty, any line for kAnyEnd, its
// success line once when none), with Done exactly when it says it worked, within the
// operation's time-outs, the device and the port closed and LinkStatus as it leaves it.
RunResult RunAndCheck(const Row& row, const std::function<void(Rig&)>& inject,
                      const std::optional<std::string>& lastLine) {
    Rig r(row.link);
    inject(r);
    Outcome outcome = Outcome::Failed;
    EXPECT_NO_THROW(outcome = r.run(row.op, row.link));
    const auto& lines = r.rig.log.lines();
    // Done exactly when the operator was told it worked; a version is shown as the reader
    // sent it, so there no error line is the telling.
    const bool told = row.op == Op::Version
                          ? std::none_of(lines.begin(), lines.end(), IsErrorLine)
                          : std::find(lines.begin(), lines.end(), row.success) != lines.end();
    EXPECT_EQ(outcome == Outcome::Done, told);
    const std::string last = lines.empty() ? "" : lines.back();
    if (!lastLine) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), row.success), 1);
    } else if (lastLine->empty()) {
        EXPECT_TRUE(IsErrorLine(last)) << last;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), row.success), 0);
    } else if (*lastLine != kAnyEnd) {
        EXPECT_EQ(last, *lastLine);
    }
    EXPECT_LE(r.clock.now(), Budget(row.op, row.link));
    EXPECT_EQ(r.hid.openHandles(), 0u);
    LinkState status = LinkState::Empty;
    if (row.op == Op::Test) {
        status = last == kNotFound ? LinkState::Err : row.running;
    }
    EXPECT_EQ(r.rig.state.LinkStatus, status);
    EXPECT_EQ(r.serial.isOpen(), status == LinkState::Test232 && last == kStarted);
    if (row.op == Op::Test) {
        EndTest(r.rig.ctx, r.window);
        EXPECT_EQ(r.rig.state.LinkStatus, LinkState::End);
        EXPECT_FALSE(r.serial.isOpen());
    }
    return {lines, r.reader.framesReceived()};
}

TEST(FaultInjection, EveryOperationOnEveryLinkEndsCleanly) {
    int runs = 0;
    for (const Row& row : kRows) {
        const std::string name =
            std::string(Name(row.op)) + (row.link == Link::Usb ? " USB" : " RS232");
        SCOPED_TRACE(name);
        // Without a fault it succeeds; its frames tell where the reader can vanish.
        const RunResult clean = RunAndCheck(
            row, [](Rig&) {}, std::nullopt);
        for (const Fault fault :
             {Fault::Vanish, Fault::Garbage, Fault::Slow, Fault::Twice, Fault::Flood}) {
            SCOPED_TRACE(Name(fault));
            RunAndCheck(
                row, [&](Rig& r) { r.inject(row.op, row.link, fault); },
                row.lastLines[static_cast<std::size_t>(fault)]);
        }
        // Gone, or silent, after each of the frames the operation sends.
        for (int k = 0; k < clean.frames; ++k) {
            SCOPED_TRACE("after frame " + std::to_string(k));
            RunAndCheck(
                row, [k](Rig& r) { r.reader.faults().vanishAfterFrames = k; }, "");
            RunAndCheck(
                row, [k](Rig& r) { r.reader.faults().silentAfterFrames = k; }, "");
        }
        // Every byte of the command's replies wrong, and the replies cut after each byte.
        for (std::size_t k = 0; k < kLongestReply; ++k) {
            SCOPED_TRACE("reply byte " + std::to_string(k));
            const auto onReply = [&](auto set) {
                return [&, set](Rig& r) {
                    r.reader.faults().onlyCommand = CommandOf(row.op);
                    set(r.reader.faults());
                };
            };
            RunAndCheck(row, onReply([k](sim::Faults& f) { f.wrongByte = {k, 0xFF}; }), kAnyEnd);
            RunAndCheck(row, onReply([k](sim::Faults& f) { f.shortReply = k; }), kAnyEnd);
        }
        runs += 6 + 2 * clean.frames + 2 * static_cast<int>(kLongestReply);
    }
    RecordProperty("runs", runs);
}

}  // namespace
}  // namespace rq
