// Whole firmware updates against the simulated reader on virtual time: the tool chooses
// the link, drives the reader's flash mode and the reader ends up holding the file.
#include <gtest/gtest.h>

#include <functional>

#include "FirmwareTestSupport.h"
#include "SampleFirmware.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "firmware/UpdateFirmware.h"
#include "protocol/OperationRig.h"
#include "protocol/ScriptedReader.h"

namespace rq {
namespace {

using namespace std::chrono_literals;
using sim::Bytes;
using testing::kNoUsb;
using testing::kUsbFound;
using testing::Lines;

struct UpdateCase {
    const char* name;
    std::size_t length;
    std::function<void(sim::ReaderConfig&, sim::Faults&)> setup;
    std::vector<std::string> tail;  // the log after the searches
    bool flashed;                   // the reader holds the whole file
};

struct SimRig {
    explicit SimRig(const UpdateCase& c, bool onUsb)
        : image(sim::MakeSampleFirmware(c.length, "V3.00")) {
        sim::ReaderConfig config;
        config.settings[0] = 6;  // RS232 at 19200 baud
        sim::Faults faults;
        c.setup(config, faults);
        reader = sim::ReaderModel(config);
        reader.faults() = faults;
        if (onUsb) {
            hid.attach(reader);
        } else {
            serial.attachReader(3, reader);
        }
        rig.state.ChosenFilePath = dir.write(image);
        // An earlier, longer image was flashed before.
        std::fill(rig.state.FirmwareImage.begin(), rig.state.FirmwareImage.end(), 0xEE);
        UpdateFirmware(rig.ctx);
    }
    // The data reports or frames the reader was sent.
    [[nodiscard]] std::vector<Bytes> usbData() const {
        std::vector<Bytes> data;
        for (const Bytes& r : hid.reportsSentTo(0)) {
            if (r[1] == 0x1B && r[2] == 0xA8 && (r[3] | r[4] | r[7] | r[8]) != 0) {
                data.push_back(r);
            }
        }
        return data;
    }
    [[nodiscard]] std::size_t serialData() const {
        return std::count_if(serial.writes().begin(), serial.writes().end(), [](const auto& w) {
            return w.bytes.size() == 2 && w.bytes[1] == 0x55;
        });
    }

    testing::FirmwareDir dir;
    Bytes image;
    sim::VirtualClock clock;
    sim::ReaderModel reader;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    testing::OperationRig<sim::SimHidLibrary, sim::SimSerialPort, sim::VirtualClock> rig{
        hid, serial, clock};
};

void Nothing(sim::ReaderConfig&, sim::Faults&) {}

const std::vector<std::string> kUsbStart = {"Erase RQ-4720 program memory ...Sent!",
                                            "Waiting for RQ-4720 USB reconnect ......",
                                            "RQ-4720 connected on USB port !"};
const std::vector<std::string> kUsbConfirmed =
    Lines(kUsbStart, {"Firmware update command to RQ4720 ... Confirm!",
                      "Firmware updating via USB Please Wait ..."});

TEST(FirmwareUpdate, OverUsb) {
    const std::vector<UpdateCase> cases = {
        {"60 bytes, JP-USB", 60, Nothing,
         Lines(kUsbConfirmed, {"Total 60 Bytes. Writing:..", "RQ-4720 firmware update finished !"}),
         true},
        {"62 bytes, DA-RUR", 62, [](auto& c, auto&) { c.flashModeText = "DA-RUR"; },
         Lines(kUsbConfirmed, {"Total 62 Bytes. Writing:..", "RQ-4720 firmware update finished !"}),
         true},
        {"32767 bytes", 32767, Nothing, {}, true},
        {"another flash-mode answer", 60, [](auto& c, auto&) { c.flashModeText = "DA-RUS"; },
         Lines(kUsbStart, {"Firmware update command to RQ4720 ... Fail!"}), false},
        // Handshake, two erase reports, handshake, command, length, two blocks, then silence.
        {"silent after two blocks", 60, [](auto&, auto& f) { f.silentAfterFrames = 8; },
         Lines(kUsbConfirmed, {"Total 60 Bytes. Writing:.Write error!"}), false},
        {"never comes back",
         60,
         [](auto&, auto& f) { f.neverReconnect = true; },
         {"Erase RQ-4720 program memory ...Sent!", "Waiting for RQ-4720 USB reconnect ......",
          std::string(20, '.') + "Firmware update Fail!"},
         false},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig r(c, true);
        if (!c.tail.empty()) {
            EXPECT_EQ(r.rig.log.lines(), Lines(kUsbFound, c.tail));
        }
        EXPECT_EQ(r.reader.image() == r.image && r.reader.flashComplete(), c.flashed);
        if (c.flashed) {
            const auto data = r.usbData();
            ASSERT_EQ(data.size(), (c.length + 5) / 6);
            // The last block runs on into zeros, never into an earlier image or past the buffer.
            for (std::size_t i = c.length % 6 ? c.length % 6 : 6; i < 6; ++i) {
                EXPECT_EQ(data.back()[3 + i], 0);
            }
        }
        EXPECT_EQ(r.hid.openHandles(), 0u);
        EXPECT_EQ(r.rig.state.LinkStatus, LinkState::Empty);
        EXPECT_TRUE(r.serial.writes().empty()) << "no fallback to RS232";
    }
}

const std::vector<std::string> kSerialFound = {"Searching COM 1~16 for 4720... ",
                                               "Found NEW 4720B RS232 at com:  3 Baud: 19200"};
const std::vector<std::string> kSerialConfirmed = {
    "Erase 4720B program memory ...", "Waiting for 4720B reboot ... Ready!",
    "Firmware update command to 4720B ... Confirm!", "RS232 protocol OK!",
    "Firmware updating via RS232 Please Wait ..."};

TEST(FirmwareUpdate, OverRs232) {
    const std::vector<UpdateCase> cases = {
        {"100 bytes", 100, Nothing,
         Lines(kSerialFound, Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:..",
                                                      "4720B firmware update Finished!"})),
         true},
        {"revision A",
         100,
         [](auto& c, auto&) { c.revision = sim::Revision::A; },
         {"Searching COM 1~16 for 4720... ", "Found 4720A RS232 at com:  3 Baud: 19200",
          "RQ-4720 RS232 not support firmware update (only new 4720B)!"},
         false},
        {"ready after 7 s", 100, [](auto& c, auto&) { c.serialRebootTime = 7s; },
         Lines(kSerialFound,
               {"Erase 4720B program memory ...",
                "Waiting for 4720B reboot ...Receive device ACK timeout, Flash abort!"}),
         false},
        {"[15] for the third byte", 100,
         [](auto&, auto& f) {
             f.flashAck = sim::Faults::FlashAnswer{5, 0x15};
         },
         Lines(kSerialFound,
               Lines(kSerialConfirmed,
                     {"Total 100 Bytes. Writing:[15] ACK receive error, Flash abort! "})),
         false},
        {"07 for the end of the image", 100,
         [](auto&, auto& f) {
             f.flashAck = sim::Faults::FlashAnswer{103, 0x07};
         },
         Lines(kSerialFound, Lines(kSerialConfirmed, {"Total 100 Bytes. Writing:..Data compare "
                                                      "error after write, please try again ..."})),
         false},
        // Probe, erase, command, speed check and six bytes, then the adapter is pulled.
        {"adapter pulled", 100, [](auto&, auto& f) { f.vanishAfterFrames = 10; },
         Lines(kSerialFound, Lines(kSerialConfirmed,
                                   {"Total 100 Bytes. Writing:Serial port error, Flash abort!"})),
         false},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig r(c, false);
        EXPECT_EQ(r.rig.log.lines(), Lines(kNoUsb, c.tail));
        EXPECT_EQ(r.reader.image() == r.image && r.reader.flashComplete(), c.flashed);
        if (c.flashed) {
            EXPECT_EQ(r.serialData(), c.length);
        }
        EXPECT_FALSE(r.serial.isOpen());
        EXPECT_EQ(r.rig.state.LinkStatus, LinkState::Empty);
    }
}

TEST(FirmwareUpdate, NoReaderAfterAnEarlierRevisionBLeavesThePortAlone) {
    const UpdateCase c{"no reader", 100, Nothing, {}, false};
    sim::VirtualClock clock;
    sim::SimHidLibrary hid{clock};
    sim::SimSerialPort serial{clock};
    testing::OperationRig<sim::SimHidLibrary, sim::SimSerialPort, sim::VirtualClock> rig{
        hid, serial, clock};
    testing::FirmwareDir dir;
    rig.state.ChosenFilePath = dir.write(sim::MakeSampleFirmware(100, "V3.00"));
    rig.state.ReaderRevision = true;
    UpdateFirmware(rig.ctx);
    EXPECT_EQ(rig.log.lines(),
              Lines(kNoUsb, {"Searching COM 1~16 for 4720... ",
                             "Can not find 4720 at com 1~16 with all baud rate!"}));
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
}

// A refused first erase report and a library that throws both end the update with the
// device closed and nothing more sent.
TEST(FirmwareUpdate, FailingHidCallsStopTheUsbStage) {
    for (const bool throws : {false, true}) {
        testing::ManualClock clock;
        testing::ScriptedHid hid;
        testing::ScriptedSerial serial{clock};
        testing::OperationRig<testing::ScriptedHid, testing::ScriptedSerial, testing::ManualClock>
            rig{hid, serial, clock};
        testing::FirmwareDir dir;
        rig.state.ChosenFilePath = dir.write(sim::MakeSampleFirmware(60, "V3.00"));
        hid.sendStatuses = {kHidTransferFailed};
        hid.throwOnReply = throws;
        if (throws) {
            hid.sendStatuses.clear();
            hid.replies.clear();
            EXPECT_THROW(UpdateFirmware(rig.ctx), std::runtime_error);
            EXPECT_EQ(hid.commands().back(), Bytes({0, 0x1B, 0xA8, 0, 0, 0, 0, 0, 0}));
        } else {
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
