#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/QtDialogs.h"

namespace rq::app {
namespace {

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
};

// Shows a box and lets `act` answer it once it is open.
DialogAnswer Show(std::string_view prompt, std::string_view title, DialogIcon icon,
                  DialogButtons buttons, Seen& seen, const std::function<void(QMessageBox&)>& act) {
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            ADD_FAILURE() << "no message box open";
            return;
        }
        seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat(),
                box->standardButtons()};
        act(*box);
    });
    QtDialogs dialogs;
    return dialogs.messageBox(prompt, title, icon, buttons);
}

void Close(QMessageBox& box) {
    box.close();
}

void ClickOk(QMessageBox& box) {
    box.button(QMessageBox::Ok)->click();
}

TEST(QtDialogs, ShowsTitleIconAndPlainText) {
    Seen seen;
    Show("<b>a.kxs</b>\r\nsecond\r\n", "", DialogIcon::Stop, DialogButtons::Ok, seen, ClickOk);
    EXPECT_EQ(seen.title, QString("4720-01"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QString("<b>a.kxs</b>\nsecond\n"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    Show("?", "Clear Fields", DialogIcon::Warning, DialogButtons::OkCancel, seen, ClickOk);
    EXPECT_EQ(seen.title, QString("Clear Fields"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
}

TEST(QtDialogs, AnswersAsTheOperatorChose) {
    Seen seen;
    EXPECT_EQ(Show("Confirm ? ", "Clear Fields", DialogIcon::Warning, DialogButtons::OkCancel, seen,
                   ClickOk),
              DialogAnswer::Ok);
    EXPECT_EQ(Show("Confirm ? ", "Clear Fields", DialogIcon::Warning, DialogButtons::OkCancel, seen,
                   Close),
              DialogAnswer::Cancel);
    EXPECT_EQ(Show("Done", "", DialogIcon::Information, DialogButtons::Ok, seen, Close),
              DialogAnswer::Ok);
}

}  // namespace
}  // namespace rq::app
