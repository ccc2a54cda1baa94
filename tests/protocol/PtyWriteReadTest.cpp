#include <gtest/gtest.h>

#include <cstdlib>
#include <variant>

#include "OperationRig.h"
#include "PtyReader.h"
#include "SimHidLibrary.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "protocol/ReaderOperations.h"
#include "protocol/SettingsBlock.h"

// A write and a read over a real serial device: the simulated reader behind a
// pseudo-terminal, the Qt serial binding and the steady clock, as the program runs.
namespace rq {
namespace {

using testing::kNoUsb;
using testing::Lines;

class PtyWriteRead : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("RQ4720_SERIAL_PORTS", pty.slavePath().c_str(), 1); }
    void TearDown() override { ::unsetenv("RQ4720_SERIAL_PORTS"); }

    sim::PtyReader pty;  // factory settings: 9600 baud
    SteadyClock clock;
    sim::SimHidLibrary hid{clock};  // no reader on USB
    QtSerialPort serial;
    testing::OperationRig<sim::SimHidLibrary, QtSerialPort, SteadyClock> rig{hid, serial, clock};
};

TEST_F(PtyWriteRead, WriteThenReadOverThePseudoTerminal) {
    ReaderSettings written = testing::EditedSettings();
    written.baudCode = 8;  // the reader moves to 57600 baud
    rig.settings = written;

    WriteSettingsToReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), Lines(kNoUsb, {"Searching COM 1~16 for 4720... ",
                                              "Found NEW 4720B RS232 at com:  1 Baud: 9600",
                                              "Programming settings to RQ-4720 RS232 OK!"}));
    const auto block = std::get<SettingsBlock>(EncodeSettings(written));
    const auto stored = pty.withReader([](sim::ReaderModel& reader) { return reader.settings(); });
    EXPECT_TRUE(std::equal(block.begin(), block.end(), stored.begin(), stored.end()));
    EXPECT_FALSE(serial.isOpen());

    rig.settings = ReaderSettings{};
    ReadSettingsFromReader(rig.ctx);

    EXPECT_EQ(rig.log.lines(), Lines(kNoUsb, {"Searching COM 1~16 for 4720... ",
                                              "Found NEW 4720B RS232 at com:  1 Baud: 57600",
                                              "Read 4720B RS232 value OK!"}));
    EXPECT_EQ(rig.settings, written);
    EXPECT_EQ(rig.state.LinkStatus, LinkState::Empty);
    EXPECT_FALSE(serial.isOpen());
}

}  // namespace
}  // namespace rq
