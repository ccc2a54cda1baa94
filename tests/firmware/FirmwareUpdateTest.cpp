// Whole firmware updates against the simulated reader on virtual time: the tool chooses
// the link, drives the reader's flash mode and the reader ends up holding the file.
#include <gtest/gtest.h>

#include <functional>

#include "SampleFirmware.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "firmware/UpdateFirmware.h"
#include "protocol/OperationRig.h"
#include "protocol/ScriptedReader.h"
#include "settings/SettingsFileTestSupport.h"

namespace rq {
namespace {

using namespace std::chrono_literals;
using sim::Bytes;
using testing::kNoUsb;
using testing::kUsbFound;
using testing::Lines;
using Lines_t = std::vector<std::string>;

std::string WriteImage(const testing::TempDir& dir, const Bytes& image) {
    testing::WriteBytes(dir.file("new.bin"), std::string(image.begin(), image.end()));
    return dir.file("new.bin");
}

enum class Where { Usb, Rs232, Nowhere };

struct UpdateCase {
    const char* name;
    std::size_t length;
    std::function<void(sim::ReaderConfig&, sim::Faults&)> setup;
    Lines_t tail;  // the log after the USB search; empty: not looked at
    bool flashed;  // the reader holds the whole file
};

// What a progress bar would be told.
struct ProgressSeen final : FlashProgress {
    void imageBytesSent(int sent, int total) override { calls.emplace_back(sent, total); }
    std::vector<std::pair<int, int>> calls;
};

// One update of a sample image of `length` bytes, the reader set up by the case.
struct SimRig {
    SimRig(const UpdateCase& c, Where where, FlashProgress* progress = nullptr)
        : image(sim::MakeSampleFirmware(c.length, "V3.00")) {
        sim::ReaderConfig config;
        config.settings[0] = 6;  // RS232 at 19200 baud
        c.setup(config, reader.faults());
        const sim::Faults faults = reader.faults();
        reader = sim::ReaderModel(config);
        reader.faults() = faults;
        if (where == Where::Usb) {
            hid.attach(reader);
        } else if (where == Where::Rs232) {
            serial.attachReader(3, reader);
        }
        rig.state.ReaderRevision = true;  // an earlier search found a revision B reader
        rig.state.ChosenFilePath = WriteImage(dir, image);
        // An earlier, longer image was read before this one.
        std::fill(rig.state.FirmwareImage.begin(), rig.state.FirmwareImage.end(), 0xEE);
        UpdateFirmware(rig.ctx, progress);
    }
    // The data reports: those after the length report.
    [[nodiscard]] std::vector<Bytes> usbData() const {
        const auto n = image.size();
        const Bytes length = {0, 0x1B, 0xA8, 0, 0, std::uint8_t(n >> 8), std::uint8_t(n), 0, 0};
        const auto reports = hid.reportsSentTo(0);
        const auto at = std::find(reports.begin(), reports.end(), length);
        return at == reports.end() ? std::vector<Bytes>{}
                                   : std::vector<Bytes>(at + 1, reports.end());
    }
    [[nodiscard]] std::size_t serialData() const {
        return std::count_if(serial.writes().begin(), serial.writes().end(), [](const auto& w) {
            return w.bytes.size() == 2 && w.bytes[1] == 0x55;
        });
    }

    testing::TempDir dir;
    Bytes image;
    sim::VirtualClock clock;
    sim::ReaderModel reader;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    testing::OperationRig<sim::SimHidLibrary, sim::SimSerialPort, sim::VirtualClock> rig{
        hid, serial, clock};
};

void Nothing(sim::ReaderConfig&, sim::Faults&) {}

const Lines_t kUsbStart = {"Erase RQ-4720 program memory ...Sent!",
                           "Waiting for RQ-4720 USB reconnect ......"};
const Lines_t kUsbConfirmed = Lines(
    kUsbStart, {"RQ-4720 connected on USB port !", "Firmware update command to RQ4720 ... Confirm!",
                "Firmware updating via USB Please Wait ..."});

// clang-format off
TEST(FirmwareUpdate, OverUsb) {
    const std::vector<UpdateCase> cases = {
        {"60 bytes, JP-USB", 60, Nothing, Lines(kUsbConfirmed, {"Total 60 Bytes. Writing:..", "RQ-4720 firmware update finished !"}), true},
        {"62 bytes, DA-RUR", 62, [](auto& c, auto&) { c.flashModeText = "DA-RUR"; },
         Lines(kUsbConfirmed, {"Total 62 Bytes. Writing:..", "RQ-4720 firmware update finished !"}), true},
        {"32767 bytes", 32767, Nothing, {}, true},
        {"another flash-mode answer", 60, [](auto& c, auto&) { c.flashModeText = "DA-RUS"; },
         Lines(kUsbStart, {"RQ-4720 connected on USB port !", "Firmware update command to RQ4720 ... Fail!"}), false},
        // Handshake, two erase reports, handshake, command, length, two blocks, then silence.
        {"silent after two blocks", 60, [](auto&, auto& f) { f.silentAfterFrames = 8; },
         Lines(kUsbConfirmed, {"Total 60 Bytes. Writing:.Write error!"}), false},
        {"never comes back", 60, [](auto&, auto& f) { f.neverReconnect = true; },
         Lines(kUsbStart, {std::string(20, '.') + "Firmware update Fail!"}), false},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig r(c, Where::Usb);
        if (!c.tail.empty()) {
            EXPECT_EQ(r.rig.log.lines(), Lines(kUsbFound, c.tail));
        }
        EXPECT_EQ(r.reader.image() == r.image && r.reader.flashComplete(), c.flashed);
        if (c.flashed) {
            const auto data = r.usbData();
            ASSERT_EQ(data.size(), (c.length + 5) / 6);
            // The last block runs on into zeros, never into an earlier image or past the buffer.
            for (std::size_t i = (c.length - 1) % 6 + 1; i < 6; ++i) {
                EXPECT_EQ(data.back()[3 + i], 0);
            }
            // The library blocks without the window's events: the loop runs them itself.
            EXPECT_GE(r.clock.keepAlives() - r.clock.sleeps(), static_cast<int>(data.size() / 8));

            // With a progress bar: from 0 up to the image's length, never beyond it.
            ProgressSeen progress;
            const SimRig bar(c, Where::Usb, &progress);
            EXPECT_EQ(bar.reader.image(), bar.image);
            ASSERT_FALSE(progress.calls.empty());
            EXPECT_EQ(progress.calls.front().first, 0);
            EXPECT_EQ(progress.calls.back().first, static_cast<int>(c.length));
            for (const auto& [sent, total] : progress.calls) {
                EXPECT_LE(sent, total);
                EXPECT_EQ(total, static_cast<int>(c.length));
            }
        }
        EXPECT_EQ(r.hid.openHandles(), 0u);
        EXPECT_EQ(r.rig.state.LinkStatus, LinkState::Empty);
        EXPECT_TRUE(r.serial.writes().empty()) << "no fallback to RS232";
    }
}

const Lines_t kSerialFound = {"Searching COM 1~16 for 4720... ", "Found NEW 4720B RS232 at com:  3 Baud: 19200",
                              "Erase 4720B program memory ..."};
const Lines_t kSerialConfirmed = Lines(kSerialFound, {"Waiting for 4720B reboot ... Ready!",
    "Firmware update command to 4720B ... Confirm!", "RS232 protocol OK!", "Firmware updating via RS232 Please Wait ..."});

TEST(FirmwareUpdate, OverRs232) {
    const std::vector<UpdateCase> cases = {
        {"100 bytes", 100, Nothing, Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:..", "4720B firmware update Finished!"}), true},
        {"revision A", 100, [](auto& c, auto&) { c.revision = sim::Revision::A; },
         {"Searching COM 1~16 for 4720... ", "Found 4720A RS232 at com:  3 Baud: 19200",
          "RQ-4720 RS232 not support firmware update (only new 4720B)!"}, false},
        {"ready after 7 s", 100, [](auto& c, auto&) { c.serialRebootTime = 7s; },
         Lines(kSerialFound, {"Waiting for 4720B reboot ...Receive device ACK timeout, Flash abort!"}), false},
        {"[15] for the third byte", 100, [](auto&, auto& f) { f.flashAck = {5, 0x15}; },
         Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:[15] ACK receive error, Flash abort! "}), false},
        // Each data byte's acknowledgement has 2 s; the reader's latency and the line add 2.5 ms.
        {"third byte acknowledged just in time", 100, [](auto&, auto& f) { f.lateFlashAnswer = {5, 1995ms}; },
         Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:..", "4720B firmware update Finished!"}), true},
        {"third byte acknowledged too late", 100, [](auto&, auto& f) { f.lateFlashAnswer = {5, 2000ms}; },
         Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:Receive device ACK timeout, Flash abort!"}), false},
        {"07 for the end of the image", 100, [](auto&, auto& f) { f.flashAck = {103, 0x07}; },
         Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:..Data compare error after write, please try again ..."}), false},
        // Probe, erase, command, speed check and six bytes, then the adapter is pulled.
        {"adapter pulled", 100, [](auto&, auto& f) { f.vanishAfterFrames = 10; },
         Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:Serial port error, Flash abort!"}), false},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig r(c, Where::Rs232);
        EXPECT_EQ(r.rig.log.lines(), Lines(kNoUsb, c.tail));
        EXPECT_EQ(r.reader.image() == r.image && r.reader.flashComplete(), c.flashed);
        if (c.flashed) {
            EXPECT_EQ(r.serialData(), c.length);
        }
        EXPECT_FALSE(r.serial.isOpen());
        EXPECT_EQ(r.rig.state.LinkStatus, LinkState::Empty);
    }
    // No reader now, a revision B reader before: only the search's own lines.
    const SimRig none({"no reader", 100, Nothing, {}, false}, Where::Nowhere);
    EXPECT_EQ(none.rig.log.lines(), Lines(kNoUsb, {"Searching COM 1~16 for 4720... ",
                                                   "Can not find 4720 at com 1~16 with all baud rate!"}));
}
// clang-format on

// A refused first erase report and a library that throws both end the update with the
// device closed and nothing more sent.
TEST(FirmwareUpdate, FailingHidCallsStopTheUsbStage) {
    for (const bool throws : {false, true}) {
        testing::ManualClock clock;
        testing::ScriptedHid hid;
        testing::ScriptedSerial serial{clock};
        testing::OperationRig<testing::ScriptedHid, testing::ScriptedSerial, testing::ManualClock>
            rig{hid, serial, clock};
        testing::TempDir dir;
        rig.state.ChosenFilePath = WriteImage(dir, sim::MakeSampleFirmware(60, "V3.00"));
        hid.throwOnReply = throws;
        if (throws) {
            EXPECT_THROW(UpdateFirmware(rig.ctx), std::runtime_error);
            EXPECT_EQ(hid.commands().back(), Bytes({0, 0x1B, 0xA8, 0, 0, 0, 0, 0, 0}));
        } else {
            hid.sendStatuses = {kHidTransferFailed};
            UpdateFirmware(rig.ctx);
            EXPECT_EQ(rig.log.lines(),
                      Lines(kUsbFound, {"Erase RQ-4720 program memory ...Fail...!"}));
            EXPECT_EQ(hid.commands().size(), 1u);
        }
        EXPECT_FALSE(hid.open);
        EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
        EXPECT_TRUE(serial.frames.empty());
    }
}

}  // namespace
}  // namespace rq
