#include <gtest/gtest.h>

#include "VirtualClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"
#include "support/StreamSerialPort.h"
#include "testmode/CommunicationTest.h"

namespace rq {
namespace {

using testing::FakeStatusLog;
using namespace std::string_literals;

struct HandlerRig {
    sim::VirtualClock clock;
    testing::NoHidLibrary hid;
    testing::StreamSerialPort serial;
    FakeStatusLog log;
    testing::FakeDialogs dialogs;
    ProgramState state;
    ReaderSettings settings;
    OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};
};

// The fake log draws 90 twips per character and 225 per line: 81 characters end at 7290,
// 82 at 7380 (past 7352); 10 lines end at 2250, 11 at 2475 (past 2400 only), 12 at 2700.
TEST(TestModeHandlers, WrapAndClearByThePrintPosition) {
    struct Case {
        bool serial;
        LinkState link;
        int lines;
        int characters;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {false, LinkState::Usb, 0, 81, {"piece:x"}},
        {false, LinkState::Usb, 0, 82, {"empty", "piece:x"}},
        {false, LinkState::Usb, 10, 0, {"piece:x"}},
        {false, LinkState::Usb, 11, 0, {"clear", "piece:x"}},
        {false, LinkState::Usb, 10, 82, {"empty", "clear", "piece:x"}},
        {true, LinkState::Test232, 0, 82, {"empty", "piece:x"}},
        {true, LinkState::Test232, 11, 0, {"piece:x"}},
        {true, LinkState::Test232, 12, 0, {"clear", "empty", "piece:x"}},
        {true, LinkState::Test232, 10, 82, {"empty", "piece:x"}},
        // Nothing is drawn unless LinkStatus says this handler's test runs.
        {false, LinkState::Test232, 0, 0, {}},
        {false, LinkState::End, 0, 0, {}},
        {true, LinkState::Usb, 0, 0, {}},
        {true, LinkState::End, 0, 0, {}},
        {true, LinkState::Empty, 0, 0, {}},
    };
    for (const Case& c : cases) {
        HandlerRig rig;
        rig.state.LinkStatus = c.link;
        for (int i = 0; i < c.lines; ++i) {
            rig.log.appendEmptyLine();
        }
        rig.log.appendPiece(std::string(static_cast<std::size_t>(c.characters), 'a'));
        rig.log.trace.clear();
        if (c.serial) {
            rig.serial.queue({'x'});
            SerialReceived(rig.ctx);
        } else {
            StatusLogKeyPressed(rig.ctx, U'x');
        }
        EXPECT_EQ(rig.log.trace, c.expected)
            << (c.serial ? "bytes" : "keys") << " at " << c.lines << " lines, " << c.characters;
    }
}

TEST(TestModeHandlers, EveryByteTakenIsDrawnAsItsWindows1252Character) {
    HandlerRig rig;
    rig.state.LinkStatus = LinkState::Test232;
    // Four bytes arrive between the count and the read: they are taken, so they are shown.
    rig.serial.queue({0x00, '\r', '\n', 0x1B, 'A', 0x7F, 0x80, 0x81, 0xA0, 0xE9, 0xFF, '1'},
                     {0x9C, 0x8A, '\t', '2'});
    SerialReceived(rig.ctx);
    EXPECT_EQ(rig.log.drawn.size(), 16u);
    EXPECT_EQ(rig.log.openLine(),
              "\0\r\n\x1b"
              "A\x7f€\u0081\u00a0éÿ1œŠ\t2"s);
}

}  // namespace
}  // namespace rq
