#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "TestWindow.h"

namespace rq::app {
namespace {

using testing::TestWindow;

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

TEST(SettingsControls, ListsHoldExactlyTheirTexts) {
    TestWindow w;
    QStringList positions;
    for (int i = 1; i <= 16; ++i) {
        positions << QString::number(i);
    }
    const Form1Controls& c = w->controls();
    EXPECT_EQ(Items(c.combo1), positions);
    EXPECT_EQ(Items(c.combo2), positions);
    EXPECT_EQ(Items(c.combo3), (QStringList{"<CR+LF>", "<CR>", "<LF>", "<TAB>", "Disable"}));
    EXPECT_EQ(Items(c.combo4), (QStringList{"9600", "19200", "57600", "115200"}));
    EXPECT_EQ(c.combo1->currentText(), QString("1"));
    EXPECT_EQ(c.combo2->currentText(), QString("16"));
}

TEST(SettingsControls, EditsGoIntoTheRecordWithTheirCodes) {
    TestWindow w;
    const Form1Controls& c = w->controls();
    c.combo3->setCurrentText("<TAB>");
    EXPECT_EQ(w->settings().delimiter, 3);
    c.combo4->setCurrentText("115200");
    EXPECT_EQ(w->settings().baudCode, 9);
    c.combo4->setCurrentText("19200");
    EXPECT_EQ(w->settings().baudCode, 6);
    c.combo1->setCurrentText("5");
    c.combo2->setCurrentText("16");
    EXPECT_EQ(w->settings().startFrom, 5);
    EXPECT_EQ(w->settings().charCount, 16);  // 5 + 16 > 17 is allowed
    c.text2->setText("xy");
    c.text3->setText("R");
    c.check1->setChecked(true);
    c.check2->setChecked(true);
    c.check3->setChecked(false);
    EXPECT_EQ(w->settings().postfix, "xy");
    EXPECT_EQ(w->settings().onRemove, "R");
    EXPECT_TRUE(w->settings().ps2KbLock);
    EXPECT_TRUE(w->settings().capsLock);
    EXPECT_FALSE(w->settings().buzzer);
}

TEST(SettingsControls, ShownRecordAgreesWithItsControls) {
    TestWindow w;
    w->runCommand([](OperationContext& ctx) {
        ctx.settings.prefix = "ABCDEFGHIJ";          // cut to 7
        ctx.settings.postfix = "\xC3\xA9t\xC3\xA9";  // "été", UTF-8
        ctx.settings.startFrom = 40;                 // no list text: the shown value stays
        ctx.settings.charCount = 8;
        ctx.settings.delimiter = 200;  // becomes Disable
        ctx.settings.baudCode = 7;     // becomes 9600
        ctx.settings.capsLock = true;
    });
    const Form1Controls& c = w->controls();
    EXPECT_EQ(c.text1->text(), QString("ABCDEFG"));
    EXPECT_EQ(w->settings().prefix, "ABCDEFG");
    EXPECT_EQ(c.text2->text(), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(w->settings().startFrom, 1);
    EXPECT_EQ(c.combo2->currentText(), QString("8"));
    EXPECT_EQ(c.combo3->currentText(), QString("Disable"));
    EXPECT_EQ(w->settings().delimiter, 4);
    EXPECT_EQ(c.combo4->currentText(), QString("9600"));
    EXPECT_EQ(w->settings().baudCode, 0);
    EXPECT_TRUE(c.check2->isChecked());

    w->runCommand([](OperationContext& ctx) {
        ctx.settings.baudCode = 8;
        ctx.settings.delimiter = -1;
    });
    EXPECT_EQ(c.combo4->currentText(), QString("57600"));
    EXPECT_EQ(c.combo3->currentText(), QString("Disable"));
    EXPECT_EQ(w->settings().delimiter, 4);
}

TEST(SettingsControls, CapsLockBoxFollowsReadsAndKeepsTheTestLock) {
    TestWindow w;
    QCheckBox* check2 = w->controls().check2;

    // A read from an old reader disables the box; one from a new reader enables it.
    w->runCommand([](OperationContext& ctx) { ctx.settings.capsLockEnabled = false; });
    EXPECT_FALSE(check2->isEnabled());
    w->runCommand([](OperationContext& ctx) { EXPECT_FALSE(ctx.settings.capsLockEnabled); });
    w->runCommand([](OperationContext& ctx) { ctx.settings.capsLockEnabled = true; });
    EXPECT_TRUE(check2->isEnabled());

    // A lock put on the box itself survives commands that do not touch it.
    check2->setEnabled(false);
    w->runCommand([](OperationContext& ctx) { ctx.log.appendLine("x"); });
    EXPECT_FALSE(check2->isEnabled());
    // ... and a disabled window does not count as a disabled box.
    check2->setEnabled(true);
    w->centralWidget()->setEnabled(false);
    w->runCommand([](OperationContext& ctx) { EXPECT_TRUE(ctx.settings.capsLockEnabled); });
    w->centralWidget()->setEnabled(true);
    EXPECT_TRUE(check2->isEnabled());
}

}  // namespace
}  // namespace rq::app
