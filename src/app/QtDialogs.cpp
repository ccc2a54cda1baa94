#include "app/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace rq::app {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon ToQtIcon(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Information:
            return QMessageBox::Information;
        case DialogIcon::Warning:
            return QMessageBox::Warning;
        case DialogIcon::Question:
            return QMessageBox::Question;
        case DialogIcon::Stop:
            return QMessageBox::Critical;
        case DialogIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// A box that opens while a command runs shows the normal pointer, not the busy one.
class ArrowCursorWhileOpen {
  public:
    ArrowCursorWhileOpen() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~ArrowCursorWhileOpen() {
        if (active_) {
            QApplication::restoreOverrideCursor();
        }
    }
    ArrowCursorWhileOpen(const ArrowCursorWhileOpen&) = delete;
    ArrowCursorWhileOpen& operator=(const ArrowCursorWhileOpen&) = delete;

  private:
    bool active_;
};

}  // namespace

DialogAnswer QtDialogs::messageBox(std::string_view prompt, std::string_view title, DialogIcon icon,
                                   DialogButtons buttons) {
    // Prompts end their lines with CR LF; the label breaks lines at LF alone.
    QString text = FromUtf8(prompt);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    // Over the window the operator works in (the file manager's boxes over the file
    // manager), else over the main window.
    QWidget* parent =
        QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : parent_.data();
    QMessageBox box(ToQtIcon(icon), FromUtf8(title.empty() ? kApplicationTitle : title), text,
                    QMessageBox::NoButton, parent);
    // Prompts carry file names and reader texts: never interpret them as markup.
    box.setTextFormat(Qt::PlainText);
    box.addButton(QMessageBox::Ok);
    if (buttons == DialogButtons::OkCancel) {
        box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);  // the close box answers Cancel
        box.setDefaultButton(QMessageBox::Ok);
    }

    const ArrowCursorWhileOpen arrow;
    const int result = box.exec();
    if (buttons == DialogButtons::Ok) {
        return DialogAnswer::Ok;
    }
    return result == QMessageBox::Ok ? DialogAnswer::Ok : DialogAnswer::Cancel;
}

}  // namespace rq::app
