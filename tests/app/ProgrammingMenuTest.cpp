#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "ReaderModel.h"
#include "SimHidLibrary.h"
#include "SimSerialPort.h"
#include "VirtualClock.h"
#include "app/Form1.h"
#include "app/StatusLogWidget.h"
#include "support/FakeDialogs.h"

namespace rq::app {
namespace {

// The main window over simulated readers on virtual time: the menu entries run the
// reader operations and the controls show what they did.
struct SimWindow {
    sim::ReaderModel usbReader;
    sim::ReaderModel serialReader{[] {
        sim::ReaderConfig config;
        config.revision = sim::Revision::A;
        return config;
    }()};
    sim::VirtualClock* clock = nullptr;
    sim::SimHidLibrary* hid = nullptr;
    sim::SimSerialPort* serial = nullptr;
    std::unique_ptr<Form1> window;

    SimWindow() {
        auto ownedClock = std::make_unique<sim::VirtualClock>();
        clock = ownedClock.get();
        auto ownedHid = std::make_unique<sim::SimHidLibrary>(*clock);
        hid = ownedHid.get();
        auto ownedSerial = std::make_unique<sim::SimSerialPort>(*clock);
        serial = ownedSerial.get();
        hid->attach(usbReader);
        serial->attachReader(2, serialReader);
        window = std::make_unique<Form1>(
            Devices{std::move(ownedHid), std::move(ownedSerial), std::move(ownedClock)},
            std::make_unique<rq::testing::FakeDialogs>());
    }

    void choose(const char* entry) { window->findChild<QAction*>(entry)->trigger(); }
    template <typename T>
    T* control(const char* name) {
        return window->findChild<T*>(name);
    }
    QString lastLine() { return window->statusLog().visibleLines().last(); }
};

TEST(ProgrammingMenu, WriteAndReadOverUsbGoThroughTheControls) {
    SimWindow w;
    w.control<QLineEdit>("Text1")->setText("AB");
    w.control<QComboBox>("Combo3")->setCurrentText("<TAB>");
    w.choose("pusb");
    EXPECT_EQ(w.lastLine(), "Programming settings to RQ-4720 USB OK!");
    EXPECT_EQ(w.usbReader.settings()[5], 2);  // prefix length
    EXPECT_EQ(w.usbReader.settings()[2], 3);  // delimiter <TAB>
    EXPECT_TRUE(w.serial->writes().empty());  // USB answered: no serial port touched

    w.control<QLineEdit>("Text1")->clear();
    w.choose("reads");
    EXPECT_EQ(w.lastLine(), "Read 4720B USB value OK!");
    EXPECT_EQ(w.control<QLineEdit>("Text1")->text(), "AB");
    EXPECT_EQ(w.control<QComboBox>("Combo3")->currentText(), "<TAB>");
    EXPECT_EQ(w.window->state().LinkStatus, LinkState::Empty);
}

TEST(ProgrammingMenu, ReadFromAnOldReaderOnRs232DisablesCapsLock) {
    SimWindow w;
    w.hid->unplug(0);
    w.choose("reads");
    EXPECT_EQ(w.lastLine(), "Read 4720A RS232 value OK!");
    EXPECT_FALSE(w.control<QCheckBox>("Check2")->isEnabled());
    EXPECT_FALSE(w.control<QCheckBox>("Check2")->isChecked());
    EXPECT_FALSE(w.serial->isOpen());
}

TEST(ProgrammingMenu, VersionAndResetReachTheReader) {
    SimWindow w;
    w.usbReader.setSettings([] {
        sim::SettingsBlock block = sim::FactorySettings();
        block[29] = 0;  // buzzer off
        return block;
    }());
    w.choose("reset");
    EXPECT_EQ(w.lastLine(), "RQ-4720 USB Reset to default OK!");
    EXPECT_EQ(w.usbReader.settings(), sim::FactorySettings());

    w.choose("rver");
    const QStringList lines = w.window->statusLog().visibleLines();
    EXPECT_TRUE(lines.contains("V2.20")) << lines.join('|').toStdString();
}

// A text box holds seven characters, never half of one: a character outside the Basic
// Multilingual Plane is kept whole and then refused by the write, not stored as "?".
TEST(ProgrammingMenu, TextBoxesHoldSevenWholeCharacters) {
    struct Edit {
        QString before;
        int cursor;
        QString inserted;
        QString after;
    };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600, two UTF-16 units
    for (const Edit& edit : {
             Edit{"", 0, "abcdef" + emoji, "abcdef" + emoji},
             Edit{"", 0, "abcdefg" + emoji, "abcdefg"},
             Edit{"abcdefg", 3, "X", "abcdefg"},
             Edit{"", 0, "0123456789", "0123456"},
             Edit{"ab", 1, emoji + emoji + "cdefgh", "a" + emoji + emoji + "cdeb"},
         }) {
        SimWindow w;
        auto* box = w.control<QLineEdit>("Text2");
        box->setText(edit.before);
        box->setCursorPosition(edit.cursor);
        box->insert(edit.inserted);
        EXPECT_EQ(box->text(), edit.after) << edit.inserted.toStdString();
    }

    SimWindow w;
    w.control<QLineEdit>("Text2")->insert("abcdef" + emoji);
    w.choose("pusb");
    EXPECT_EQ(w.lastLine().toStdString(),
              "Cannot write: \"Postfix characters\" holds \xF0\x9F\x98\x80 (U+1F600), which "
              "the reader cannot store");
    EXPECT_EQ(w.usbReader.settings(), sim::FactorySettings());
}

}  // namespace
}  // namespace rq::app
