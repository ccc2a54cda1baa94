#include "cli/Monitor.h"

#include <QEventLoop>

#include <map>
#include <ostream>

#include "cli/ExitStatus.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "platform/StopSignal.h"
#include "testmode/CommunicationTest.h"

namespace rq::cli {
namespace {

// There is no window to lock: the flags are only kept, so the test's end finds what its
// start set.
class UnlockedControls final : public TestModeControls {
  public:
    void setEnabled(TestControl control, bool enabled) override { enabled_[control] = enabled; }
    [[nodiscard]] bool isEnabled(TestControl control) const override {
        return !enabled_.contains(control) || enabled_.at(control);
    }
    void setVisible(TestControl control, bool visible) override { visible_[control] = visible; }
    [[nodiscard]] bool isVisible(TestControl control) const override {
        return !visible_.contains(control) || visible_.at(control);
    }

  private:
    std::map<TestControl, bool> enabled_;
    std::map<TestControl, bool> visible_;
};

constexpr std::string_view kUsbRefusal =
    "rq4720-cli: the reader answered on USB, where its test types each ID into the focused "
    "window as a keyboard would; monitor shows the test on RS232 only.\n";

// "Start Test" for the RS232 reader alone: a reader on USB is refused before the test
// banner, and the serial ports are then not searched.
int StartSerialTest(OperationContext& ctx, TestModeControls& controls, Console& console) {
    SearchUsbReader(ctx);
    const bool onUsb = ctx.state.LinkStatus == LinkState::Ok;
    CloseUsbReader(ctx);
    if (onUsb) {
        ctx.state.LinkStatus = LinkState::Usb;
        console.err << kUsbRefusal << std::flush;
        return kExitWrongLink;
    }
    SearchSerialReader(ctx);
    if (ctx.state.SerialReaderFound == 0) {
        return kExitNotFound;
    }
    EnterTestMode(ctx, controls);
    ctx.state.LinkStatus = LinkState::Test232;
    return kExitConfirmed;
}

}  // namespace

int RunMonitor(OperationContext& ctx, Console& console) {
    UnlockedControls controls;
    if (const int started = StartSerialTest(ctx, controls, console); started != kExitConfirmed) {
        return started;
    }
    console.err << "Ctrl-C ends the test.\n" << std::flush;

    QEventLoop loop;
    Outcome outcome = Outcome::Done;
    ctx.serial.setReceiveHandler([&] {
        if (SerialReceived(ctx) == Outcome::Failed) {
            outcome = Outcome::Failed;
            loop.quit();
        }
    });
    {
        const StopSignal stop([&loop] { loop.quit(); });
        loop.exec();
    }
    ctx.serial.setReceiveHandler({});
    EndTest(ctx, controls);
    return ExitStatus(outcome);
}

}  // namespace rq::cli
