#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <cstdlib>

#include "PtyReader.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "app/Form1.h"
#include "app/StatusLogWidget.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "support/FakeDialogs.h"
#include "support/StreamSerialPort.h"

namespace rq::app {
namespace {

constexpr const char* kBanner = "*** Testing 4720, please put ibutton on 4720 for read ID ***";

std::unique_ptr<Form1> Window(std::unique_ptr<HidLibrary> hid, std::unique_ptr<SerialPort> serial,
                              std::unique_ptr<Clock> clock) {
    auto window =
        std::make_unique<Form1>(Devices{std::move(hid), std::move(serial), std::move(clock)},
                                std::make_unique<rq::testing::FakeDialogs>());
    window->show();
    return window;
}

void Choose(Form1& window, const char* entry) {
    window.findChild<QAction*>(entry)->trigger();
}

QStringList Lines(Form1& window) {
    return window.statusLog().visibleLines();
}

// The settings fields, Label12 and the menus as the test leaves them, or as they are after it.
void ExpectLocked(Form1& window, bool locked) {
    const Form1Controls& c = window.controls();
    EXPECT_EQ(c.label12->isHidden(), !locked);
    for (QWidget* field : std::initializer_list<QWidget*>{c.text1, c.combo1, c.combo2, c.text2,
                                                          c.combo3, c.text3, c.combo4, c.check1}) {
        EXPECT_EQ(field->isEnabled(), !locked) << field->objectName().toStdString();
    }
    for (const char* menu : {"file", "prog"}) {
        EXPECT_EQ(window.findChild<QMenu*>(menu)->menuAction()->isEnabled(), !locked) << menu;
    }
    for (const char* menu : {"test", "note"}) {
        EXPECT_TRUE(window.findChild<QMenu*>(menu)->menuAction()->isEnabled()) << menu;
    }
}

// The window over a USB reader and an RS232 reader on COM4, on virtual time.
TEST(TestMode, BothLinksLockTheWindowAndShowWhatTheReaderOutputs) {
    sim::ReaderModel usbReader;
    sim::ReaderModel serialReader;
    auto clock = std::make_unique<sim::VirtualClock>();
    sim::VirtualClock& time = *clock;
    auto hid = std::make_unique<sim::SimHidLibrary>(time);
    sim::SimHidLibrary& library = *hid;
    hid->attach(usbReader);
    auto serial = std::make_unique<sim::SimSerialPort>(time);
    sim::SimSerialPort& port = *serial;
    serial->attachReader(4, serialReader);
    auto window = Window(std::move(hid), std::move(serial), std::move(clock));
    StatusLogWidget& log = window->statusLog();
    QCheckBox* check2 = window->controls().check2;
    QCheckBox* check3 = window->controls().check3;

    Choose(*window, "etest");  // without a running test
    EXPECT_EQ(Lines(*window), QStringList{"* Test Mode end *"});
    ExpectLocked(*window, false);
    check2->setEnabled(false);  // as after a read from an old reader
    window->controls().text1->setFocus();

    Choose(*window, "stest");
    EXPECT_EQ(window->state().LinkStatus, LinkState::Usb);
    EXPECT_EQ(library.openHandles(), 0u);  // the keys come through the keyboard
    EXPECT_EQ(window->focusWidget(), &log);
    EXPECT_TRUE(Lines(*window).contains(kBanner));
    ExpectLocked(*window, true);
    EXPECT_TRUE(check2->isHidden() && !check3->isHidden());
    QTest::keyClicks(&log, "01A2");
    QTest::keyClick(&log, Qt::Key_Return);
    EXPECT_EQ(Lines(*window).last(), "01A2\r");

    library.unplug(0);
    Choose(*window, "stest");  // searches again; both boxes are disabled now, so hidden
    EXPECT_EQ(window->state().LinkStatus, LinkState::Test232);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(check3->isHidden() && check2->isHidden());
    serialReader.placeIButton(std::vector<std::uint8_t>(16, 'Z'), time.now());
    time.advance(std::chrono::seconds(1));
    EXPECT_TRUE(port.deliverReceiveNotification());  // 16 bytes in one notification
    EXPECT_EQ(Lines(*window).last(), QString(16, 'Z'));
    library.plugIn(0);
    Choose(*window, "stest");  // the reader answers on USB now: the old port is closed
    EXPECT_FALSE(port.isOpen());
    library.unplug(0);
    Choose(*window, "stest");
    serialReader.placeIButton(std::vector<std::uint8_t>(16, 'Y'), time.now());
    time.advance(std::chrono::seconds(1));
    int taken = 0;
    ASSERT_EQ(port.inBufferCount(taken), SerialFailure::None);  // taken, then the port fails
    port.unplug(4);  // told once: what was taken, one line, the port closed, still locked
    EXPECT_TRUE(port.deliverReceiveNotification());
    EXPECT_FALSE(port.deliverReceiveNotification());
    EXPECT_EQ(Lines(*window).mid(Lines(*window).size() - 2),
              (QStringList{QString(16, 'Y'), "Serial port error, Test abort!"}));
    ExpectLocked(*window, true);

    Choose(*window, "etest");
    EXPECT_EQ(window->state().LinkStatus, LinkState::End);
    EXPECT_FALSE(port.isOpen());
    ExpectLocked(*window, false);
    EXPECT_FALSE(check3->isHidden() || check2->isHidden());
    EXPECT_FALSE(check3->isEnabled() || check2->isEnabled());
    Choose(*window, "etest");
    EXPECT_TRUE(check3->isEnabled() && check2->isEnabled());
}

TEST(TestMode, BurstsAndEndlessStreamsKeepTheStatusAreaBounded) {
    auto serial = std::make_unique<rq::testing::StreamSerialPort>();
    rq::testing::StreamSerialPort& port = *serial;
    auto window = Window(std::make_unique<rq::testing::NoHidLibrary>(), std::move(serial),
                         std::make_unique<SteadyClock>());
    window->state().LinkStatus = LinkState::Test232;  // as "Start Test" leaves it

    port.queue(std::vector<std::uint8_t>(64 * 1024, 'A'));
    port.notify();
    EXPECT_GT(Lines(*window).size(), 5);  // wrapped and moved up: one area full is kept
    EXPECT_LT(Lines(*window).join("").size(), 2000);

    for (int i = 0; i < 3000; ++i) {
        port.queue(std::vector<std::uint8_t>(40, static_cast<std::uint8_t>(i)));
        port.notify();
        ASSERT_LT(Lines(*window).join("").size(), 2000) << "after " << i;
    }
}

TEST(TestMode, Rs232ReaderOnAPseudoTerminalAndItsPulledAdapter) {
    sim::PtyReader reader;
    ::setenv("RQ4720_SERIAL_PORTS", reader.slavePath().c_str(), 1);
    auto window = Window(std::make_unique<rq::testing::NoHidLibrary>(),
                         std::make_unique<QtSerialPort>(), std::make_unique<SteadyClock>());
    Choose(*window, "stest");
    ASSERT_EQ(window->state().LinkStatus, LinkState::Test232);

    reader.withReader(
        [](sim::ReaderModel& r) { r.placeIButtonId("0000012345678901", sim::PtyReader::Now()); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(*window).last().contains("12345678901"); }));

    reader.stop();
    const QString failed = "Serial port error, Test abort!";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(*window).last() == failed; }));
    QTest::qWait(100);
    EXPECT_EQ(Lines(*window).count(failed), 1);
    EXPECT_FALSE(window->context().serial.isOpen());
    ExpectLocked(*window, true);
    Choose(*window, "etest");
    ExpectLocked(*window, false);
    ::unsetenv("RQ4720_SERIAL_PORTS");
}

}  // namespace
}  // namespace rq::app
