#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <stdexcept>

#include "TestWindow.h"
#include "app/StatusLogWidget.h"
#include "app/Twips.h"

namespace rq::app {
namespace {

using testing::TestWindow;

TEST(Form1Opening, ShowsTitleDefaultsAndAnEmptyLog) {
    TestWindow w;
    const Form1Controls& c = w->controls();

    EXPECT_EQ(w->windowTitle(), QString("Quorrindel 4720B Programming tool v2.2"));

    EXPECT_TRUE(c.label12->isHidden());
    EXPECT_EQ(c.label12->text(), QString("T e s t i n g  . . ."));
    EXPECT_EQ(c.label12->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(c.label12->font().pointSize(), 24);

    EXPECT_TRUE(c.check3->isChecked());
    EXPECT_FALSE(c.check1->isChecked());
    EXPECT_FALSE(c.check2->isChecked());
    EXPECT_TRUE(w->statusLog().isEmpty());
    EXPECT_EQ(w->statusLog().printPosition(), (PrintPosition{0, 0}));
    EXPECT_EQ(w->settings(), ReaderSettings{});
}

TEST(Form1Opening, CaptionsAreExact) {
    TestWindow w;
    const std::pair<const char*, const char*> captions[] = {
        {"Label1", "* iButton ID output settings *"},
        {"Label5", "Prefix characters:"},
        {"Label2", "Start from character:"},
        {"Label3", "Number of  character:"},
        {"Label6", "Postfix characters:"},
        {"Label4", "Delimiter:"},
        {"Label7", "Onremove characters:"},
        {"Label8", "* RS232/USB-RS232 setting *"},
        {"Label9", "Baud Rate:"},
        {"Label11", "* PS2-KB setting *"},
        {"Label14", "* USB-KB setting *"},
        {"Label10", "Status Messages "},
    };
    for (const auto& [name, caption] : captions) {
        const auto* label = w->findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString(caption)) << name;
    }
    EXPECT_EQ(w->controls().check3->text(), QString("Buzzer sound"));
    EXPECT_EQ(w->controls().check1->text(), QString("PS2 Keyboard Locked (iButton not present)"));
    EXPECT_EQ(w->controls().check2->text(), QString("Always CapsLock ON"));
}

TEST(Form1Opening, FocusOrderStartsAtTheStatusArea) {
    TestWindow w;
    const QStringList expected = {"Picture1", "Combo1", "Combo2", "Combo3", "Combo4", "Text1",
                                  "Text2",    "Text3",  "Check1", "Check2", "Check3"};
    QStringList order;
    for (QWidget* next = w->nextInFocusChain(); next != w.window.get();
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && !next->isWindow() &&
            !next->objectName().isEmpty()) {
            order << next->objectName();
        }
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(w->focusWidget(), static_cast<QWidget*>(&w->statusLog()));
}

TEST(Form1Layout, ControlsSitAtTheirTwipPlacesAtAnyDpi) {
    TestWindow w;
    QWidget& client = *w->centralWidget();
    for (const double dpi : {96.0, 192.0}) {
        const TwipScale scale(dpi, dpi);
        PlaceForm1Controls(client, w->controls(), scale);
        const double k = dpi / 96.0;
        EXPECT_EQ(client.size(), QSize(652, 511) * k) << dpi;
        EXPECT_EQ(w->controls().picture1->geometry(),
                  QRect(QPoint(40, 304) * k, QSize(569, 193) * k));
        EXPECT_EQ(w->controls().combo4->geometry(), QRect(QPoint(520, 88) * k, QSize(89, 20) * k));
        EXPECT_EQ(w->controls().text1->geometry(), QRect(QPoint(208, 72) * k, QSize(161, 21) * k));
        EXPECT_EQ(w->controls().check1->geometry(),
                  QRect(QPoint(424, 144) * k, QSize(193, 41) * k));
        // A label keeps its place and height, and grows to the right at most.
        const QRect label10 = w->controls().label10->geometry();
        EXPECT_EQ(label10.topLeft(), QPoint(520, 288) * k);
        EXPECT_GE(label10.width(), qRound(89 * k));
    }
}

TEST(Form1Layout, WindowHasAFixedSizeAndTheTextBoxesHoldSeven) {
    TestWindow w;
    w->show();
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->centralWidget()->size(),
              TwipScale::of(*w.window).toPixels(kClientWidthTwips, kClientHeightTwips));

    QLineEdit* text1 = w->controls().text1;
    QTest::keyClicks(text1, "ABCDEFGH");
    EXPECT_EQ(text1->text(), QString("ABCDEFG"));
    EXPECT_EQ(w->settings().prefix, "ABCDEFG");
    for (const QComboBox* list :
         {w->controls().combo1, w->controls().combo2, w->controls().combo3, w->controls().combo4}) {
        EXPECT_FALSE(list->isEditable());
    }
}

TEST(Form1Commands, CloseWhileACommandRunsEndsTheProgramAfterIt) {
    TestWindow w;
    w->show();
    bool visibleAfterClose = false;
    int endsDuringCommand = -1;
    w->runCommand([&](OperationContext&) {
        w->close();
        visibleAfterClose = w->isVisible();
        endsDuringCommand = w.programEnds;
    });
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_EQ(endsDuringCommand, 0);
    EXPECT_EQ(w.programEnds, 1);
}

TEST(Form1Commands, CloseWhileIdleEndsTheProgramAtOnce) {
    TestWindow w;
    w->show();
    w->close();
    EXPECT_EQ(w.programEnds, 1);
    EXPECT_TRUE(w.dialogs->shown.empty());
}

TEST(Form1Commands, RunOneAtATimeWithTheWindowBusy) {
    TestWindow w;
    bool innerRan = false;
    bool nestedAccepted = true;
    bool busyInside = false;
    Qt::CursorShape cursorInside = Qt::ArrowCursor;
    w->runCommand([&](OperationContext&) {
        busyInside = w->isRunningCommand();
        cursorInside = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                      : Qt::ArrowCursor;
        nestedAccepted = w->runCommand([&](OperationContext&) { innerRan = true; });
    });
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(cursorInside, Qt::WaitCursor);
    EXPECT_FALSE(nestedAccepted);
    EXPECT_FALSE(innerRan);
    EXPECT_FALSE(w->isRunningCommand());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Form1Commands, AFailingCommandIsReportedAndTheWindowStaysUsable) {
    TestWindow w;
    w->runCommand([](OperationContext& ctx) {
        ctx.settings.prefix = "AB";
        throw std::runtime_error("port vanished");
    });
    ASSERT_EQ(w.dialogs->shown.size(), 1u);
    EXPECT_EQ(w.dialogs->shown[0].prompt, "port vanished");
    EXPECT_EQ(w.dialogs->shown[0].title, "Error");
    EXPECT_EQ(w.dialogs->shown[0].icon, DialogIcon::Stop);
    EXPECT_EQ(w->controls().text1->text(), QString("AB"));  // shown as far as it got
    EXPECT_FALSE(w->isRunningCommand());
    EXPECT_TRUE(w->runCommand([](OperationContext&) {}));
}

TEST(Form1Commands, SerialNotificationDuringACommandIsHandledAfterIt) {
    TestWindow w;
    std::vector<std::string> events;
    w->setSerialReceiveHandler([&](OperationContext&) { events.push_back("received"); });
    w->runCommand([&](OperationContext&) {
        w.serial->notify();
        events.push_back("command");
    });
    EXPECT_EQ(events, (std::vector<std::string>{"command", "received"}));

    w.serial->notify();
    EXPECT_EQ(events.size(), 3u);
}

TEST(Form1Commands, ActivationDuringACommandStartsNoFileAction) {
    TestWindow w;
    int activations = 0;
    w->setActivationHandler([&](OperationContext&) { ++activations; });
    QEvent activate(QEvent::WindowActivate);
    w->runCommand([&](OperationContext&) { QApplication::sendEvent(w.window.get(), &activate); });
    EXPECT_EQ(activations, 0);
    QApplication::sendEvent(w.window.get(), &activate);
    EXPECT_EQ(activations, 1);
}

TEST(Form1Commands, KeysTypedIntoTheStatusAreaReachTheHandler) {
    TestWindow w;
    w->show();
    std::u32string typed;
    w->setStatusKeyHandler([&](OperationContext& ctx, char32_t c) {
        typed += c;
        EXPECT_EQ(&ctx.log, static_cast<StatusLog*>(&w->statusLog()));
    });
    StatusLogWidget& log = w->statusLog();
    QTest::keyClicks(&log, "a1");
    QTest::keyClick(&log, Qt::Key_Shift);  // no character
    QTest::keyClick(&log, Qt::Key_Return);
    EXPECT_EQ(typed, U"a1\r");

    // While the test locks every other control, Tab (a reader delimiter) is a character
    // too, not a move to the next control.
    const Form1Controls& c = w->controls();
    for (QWidget* control :
         std::initializer_list<QWidget*>{c.text1, c.text2, c.text3, c.combo1, c.combo2, c.combo3,
                                         c.combo4, c.check1, c.check2, c.check3}) {
        control->setEnabled(false);
    }
    typed.clear();
    QTest::keyClick(&log, Qt::Key_Tab);
    EXPECT_EQ(typed, U"\t");
}

}  // namespace
}  // namespace rq::app
