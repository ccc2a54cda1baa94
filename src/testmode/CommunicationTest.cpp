#include "testmode/CommunicationTest.h"

#include <array>

#include "link/SerialLink.h"
#include "link/UsbLink.h"

namespace rq {
namespace {

constexpr std::string_view kBanner = "*** Testing 4720, please put ibutton on 4720 for read ID ***";
constexpr std::string_view kEndLine = "* Test Mode end *";

// The settings fields locked during the test, in the order they are locked and unlocked.
constexpr std::array kFieldControls = {
    TestControl::Text1,  TestControl::Combo1, TestControl::Combo2, TestControl::Text2,
    TestControl::Combo3, TestControl::Text3,  TestControl::Combo4, TestControl::Check1,
};
// Check boxes that may already be disabled before the test (Check2 after a read from an
// old reader): hidden during the test instead, so that the end restores either state.
constexpr std::array kRestoredCheckBoxes = {TestControl::Check3, TestControl::Check2};
constexpr std::array kLockedMenus = {TestControl::FileMenu, TestControl::ProgMenu};

}  // namespace

Outcome StartTest(OperationContext& ctx, TestModeControls& window) {
    // On USB the reader types into the status log, so it needs the keyboard focus.
    ctx.log.takeFocus();
    ctx.log.clear();

    SearchUsbReader(ctx);
    if (ctx.state.LinkStatus == LinkState::Ok) {
        EnterTestMode(ctx, window);
        ctx.state.LinkStatus = LinkState::Usb;
        // The keys come from the reader's keyboard interface, not through the library.
        CloseUsbReader(ctx);
        // An RS232 test started before is over: its port would fill with input that
        // nobody takes any more.
        if (ctx.serial.isOpen()) {
            ctx.serial.close();
        }
    }
    if (ctx.state.LinkStatus != LinkState::Usb) {
        SearchSerialReader(ctx);
        if (ctx.state.SerialReaderFound != 0) {
            EnterTestMode(ctx, window);
            // The port stays open at the reader's rate for the receive handler.
            ctx.state.LinkStatus = LinkState::Test232;
        }
    }
    const LinkState link = ctx.state.LinkStatus;
    return link == LinkState::Usb || link == LinkState::Test232 ? Outcome::Done : Outcome::NotFound;
}

void EnterTestMode(OperationContext& ctx, TestModeControls& window) {
    ctx.log.appendLine(kBanner);
    window.setVisible(TestControl::Label12, true);
    for (const TestControl control : kFieldControls) {
        window.setEnabled(control, false);
    }
    for (const TestControl box : kRestoredCheckBoxes) {
        if (window.isEnabled(box)) {
            window.setEnabled(box, false);
        } else {
            window.setVisible(box, false);
        }
    }
    for (const TestControl menu : kLockedMenus) {
        window.setEnabled(menu, false);
    }
}

void EndTest(OperationContext& ctx, TestModeControls& window) {
    ctx.log.clear();
    ctx.log.appendLine(kEndLine);
    window.setVisible(TestControl::Label12, false);
    for (const TestControl control : kFieldControls) {
        window.setEnabled(control, true);
    }
    for (const TestControl box : kRestoredCheckBoxes) {
        if (window.isVisible(box)) {
            window.setEnabled(box, true);
        } else {
            window.setVisible(box, true);  // still disabled, as before the test
        }
    }
    for (const TestControl menu : kLockedMenus) {
        window.setEnabled(menu, true);
    }
    ctx.state.LinkStatus = LinkState::End;
    if (ctx.serial.isOpen()) {
        ctx.serial.close();
    }
}

}  // namespace rq
