#include "app/StatusLogWidget.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <cmath>

#include "app/Twips.h"

namespace rq::app {
namespace {

QColor ToQColor(Rgb colour) {
    return {colour.red, colour.green, colour.blue};
}

}  // namespace

StatusLogWidget::StatusLogWidget(QWidget* parent)
    : QFrame(parent), colour_(ToQColor(kStatusTextColour)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9.75);
    setFont(font);
    // The communication test gives this area the focus and reads the keys typed into it.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusLogWidget::appendPiece(std::string_view text) {
    if (text.empty()) {
        return;
    }
    const QString piece = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const TwipScale scale = TwipScale::of(*this);
    const QRect area = contentsRect();
    // Runs outside the area can never be seen again (nothing scrolls), so they are not kept.
    if (y_ < scale.toTwipsY(area.height()) && x_ < scale.toTwipsX(area.width())) {
        // A piece that continues the last one joins its run: a line typed one character
        // at a time is painted as one text, not as dozens.
        if (!runs_.empty() && runs_.back().y == y_ && runs_.back().endX == x_ &&
            runs_.back().colour == colour_) {
            runs_.back().text += piece;
        } else {
            runs_.push_back({piece, x_, y_, colour_});
        }
        x_ += advanceTwips(piece, scale);
        runs_.back().endX = x_;
        update();
        return;
    }
    x_ += advanceTwips(piece, scale);
}

double StatusLogWidget::advanceTwips(const QString& piece, const TwipScale& scale) {
    // The communication test draws one character at a time, tens of thousands in a burst;
    // measuring each anew would keep the window busy far too long.
    constexpr qsizetype kLongestCached = 2;  // one character, surrogate pairs included
    constexpr qsizetype kMostCached = 4096;  // any key can be typed: the cache stays bounded
    if (piece.size() > kLongestCached) {
        return scale.toTwipsX(QFontMetricsF(font(), this).horizontalAdvance(piece));
    }
    if (scale.dpiX() != advancesDpiX_ || advances_.size() >= kMostCached) {
        advances_.clear();
        advancesDpiX_ = scale.dpiX();
    }
    const auto cached = advances_.constFind(piece);
    if (cached != advances_.constEnd()) {
        return *cached;
    }
    const double advance = scale.toTwipsX(QFontMetricsF(font(), this).horizontalAdvance(piece));
    advances_.insert(piece, advance);
    return advance;
}

void StatusLogWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        advances_.clear();
    }
    QFrame::changeEvent(event);
}

QStringList StatusLogWidget::visibleLines() const {
    QStringList lines;
    double lineY = -1;
    for (const Run& run : runs_) {
        if (lines.isEmpty() || run.y != lineY) {
            lines.append(QString());
            lineY = run.y;
        }
        lines.last() += run.text;
    }
    return lines;
}

void StatusLogWidget::appendLine(std::string_view text) {
    appendPiece(text);
    appendEmptyLine();
}

void StatusLogWidget::appendEmptyLine() {
    x_ = 0;
    y_ += lineHeightTwips();
}

void StatusLogWidget::clear() {
    runs_.clear();
    x_ = 0;
    y_ = 0;
    update();
}

void StatusLogWidget::repaint() {
    QFrame::repaint();
}

void StatusLogWidget::repaintWindow() {
    window()->repaint();
}

void StatusLogWidget::setTextColour(Rgb colour) {
    colour_ = ToQColor(colour);
}

PrintPosition StatusLogWidget::printPosition() const {
    return {static_cast<int>(std::lround(x_)), static_cast<int>(std::lround(y_))};
}

void StatusLogWidget::takeFocus() {
    setFocus(Qt::OtherFocusReason);
}

void StatusLogWidget::setKeyHandler(KeyHandler handler) {
    keyHandler_ = std::move(handler);
}

double StatusLogWidget::lineHeightTwips() const {
    return TwipScale::of(*this).toTwipsY(QFontMetricsF(font(), this).lineSpacing());
}

void StatusLogWidget::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.fillRect(rect(), ToQColor(kBackground));
        painter.setClipRect(area);
        painter.setFont(font());
        const TwipScale scale = TwipScale::of(*this);
        const double ascent = QFontMetricsF(font(), this).ascent();
        for (const Run& run : runs_) {
            const QPointF at = scale.toPixelsF(run.x, run.y) + QPointF(area.topLeft());
            painter.setPen(run.colour);
            painter.drawText(at + QPointF(0, ascent), run.text);
        }
    }
    QFrame::paintEvent(event);  // the frame, over the background
}

void StatusLogWidget::keyPressEvent(QKeyEvent* event) {
    if (!keyHandler_ || event->text().isEmpty()) {
        QFrame::keyPressEvent(event);
        return;
    }
    // A handler may clear the area or start a command; copy it so it survives being replaced.
    const KeyHandler handler = keyHandler_;
    for (const uint character : event->text().toUcs4()) {
        handler(static_cast<char32_t>(character));
    }
    event->accept();
}

}  // namespace rq::app
