#include "app/TestModeWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <stdexcept>

namespace rq::app {

namespace {

// One control per line, as a table.
// clang-format off
QWidget* Find(const Form1Controls& c, const QMenuBar& bar, TestControl control) {
    switch (control) {
        case TestControl::Text1: return c.text1;
        case TestControl::Combo1: return c.combo1;
        case TestControl::Combo2: return c.combo2;
        case TestControl::Text2: return c.text2;
        case TestControl::Combo3: return c.combo3;
        case TestControl::Text3: return c.text3;
        case TestControl::Combo4: return c.combo4;
        case TestControl::Check1: return c.check1;
        case TestControl::Check2: return c.check2;
        case TestControl::Check3: return c.check3;
        case TestControl::Label12: return c.label12;
        case TestControl::FileMenu: return bar.findChild<QMenu*>(QStringLiteral("file"));
        case TestControl::ProgMenu: return bar.findChild<QMenu*>(QStringLiteral("prog"));
    }
    return nullptr;
}
// clang-format on

}  // namespace

TestModeWidgets::TestModeWidgets(const Form1Controls& controls, QMenuBar& menuBar)
    : controls_(controls), menuBar_(menuBar) {}

QWidget& TestModeWidgets::widget(TestControl control) const {
    QWidget* found = Find(controls_, menuBar_, control);
    if (found == nullptr) {
        throw std::logic_error("the main window lacks a control the test locks");
    }
    return *found;
}

void TestModeWidgets::setEnabled(TestControl control, bool enabled) {
    QWidget& target = widget(control);
    if (auto* menu = qobject_cast<QMenu*>(&target)) {
        menu->menuAction()->setEnabled(enabled);  // the menu's title in the bar
    } else {
        target.setEnabled(enabled);
    }
}

bool TestModeWidgets::isEnabled(TestControl control) const {
    QWidget& target = widget(control);
    if (auto* menu = qobject_cast<QMenu*>(&target)) {
        return menu->menuAction()->isEnabled();
    }
    return !target.testAttribute(Qt::WA_Disabled);
}

void TestModeWidgets::setVisible(TestControl control, bool visible) {
    widget(control).setVisible(visible);
}

bool TestModeWidgets::isVisible(TestControl control) const {
    return !widget(control).isHidden();
}

}  // namespace rq::app
