#include "KeyboardTyping.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "core/Text.h"

namespace rq::demo {
namespace {

// The key a keyboard presses for a character; Qt's keys for printable ASCII are their
// upper-case codes.
Qt::Key KeyFor(std::uint8_t byte) {
    switch (byte) {
        case '\r':
        case '\n':
            return Qt::Key_Return;
        case '\t':
            return Qt::Key_Tab;
        case '\b':
            return Qt::Key_Backspace;
        case 0x1B:
            return Qt::Key_Escape;
        default:
            break;
    }
    if (byte >= 'a' && byte <= 'z') {
        return static_cast<Qt::Key>(byte - 'a' + 'A');
    }
    if (byte >= 0x20 && byte < 0x7F) {
        return static_cast<Qt::Key>(byte);
    }
    return Qt::Key_unknown;
}

}  // namespace

void TypeIntoWindow(QWidget& window, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        const QString text = QString::fromUtf8(rq::text::DecodeCp1252({&byte, 1}));
        const Qt::Key key = KeyFor(byte);
        // Looked up for every key: a Tab may have moved the focus on.
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QWidget* focused = window.focusWidget();
            QKeyEvent event(type, key, Qt::NoModifier, text);
            QApplication::sendEvent(focused != nullptr ? focused : &window, &event);
        }
    }
}

}  // namespace rq::demo
