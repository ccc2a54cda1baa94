#include "app/StatusLogWidget.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <string>

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
    QString rest = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const TwipScale scale = TwipScale::of(*this);
    const double width = scale.toTwipsX(contentsRect().width());
    while (!rest.isEmpty()) {
        const double advance = advanceTwips(rest, scale);
        if (x_ + advance <= width || width <= 0) {  // an area not laid out yet cannot wrap
            draw(rest, x_ + advance, scale);
            break;
        }
        if (x_ > 0 && advance <= width) {
            appendEmptyLine();  // the piece starts the next line whole
            continue;
        }
        // Longer than a line: fill this one, go on at the start of the next. A line too
        // narrow for even one character holds one.
        const qsizetype fits = fittingPrefix(rest, width - x_, scale);
        if (fits == 0 && x_ > 0) {
            appendEmptyLine();
            continue;
        }
        const QString head = rest.first(std::max<qsizetype>(fits, 1));
        draw(head, x_ + advanceTwips(head, scale), scale);
        appendEmptyLine();
        rest.remove(0, head.size());
    }
    update();
}

void StatusLogWidget::appendCharacters(std::u32string_view characters) {
    if (characters.empty()) {
        return;
    }
    // The rule of a piece of one character, with the area measured once for all and each
    // line's characters drawn as one piece: a burst of 64 KiB is as many characters.
    const TwipScale scale = TwipScale::of(*this);
    const double width = scale.toTwipsX(contentsRect().width());
    const bool wraps = width > 0;  // an area not laid out yet cannot wrap
    std::u16string line;           // placed on the print line, not drawn yet
    double x = x_;                 // the print position behind them
    const auto endLine = [&] {
        if (!line.empty()) {
            draw(QStringView(line), x, scale);
            line.clear();
        }
        appendEmptyLine();
        x = x_;
    };
    for (char32_t character : characters) {
        if (character > 0x10FFFF || QChar::isSurrogate(character)) {
            character = QChar::ReplacementCharacter;
        }
        const double advance = characterAdvanceTwips(character, scale);
        if (wraps && x > 0 && x + advance > width) {
            endLine();
        }
        const auto units = QChar::fromUcs4(character);
        line.append(units.begin(), units.end());
        x += advance;
        if (wraps && advance > width) {
            endLine();  // wider than a line: it holds one alone
        }
    }
    if (!line.empty()) {
        draw(QStringView(line), x, scale);
    }
    update();
}

void StatusLogWidget::draw(QStringView piece, double endX, const TwipScale& scale) {
    keepLineInView(scale);
    // A piece that continues the last one joins its run: a line typed one character at a
    // time is painted as one text, not as dozens.
    if (!runs_.empty() && runs_.back().y == y_ && runs_.back().endX == x_ &&
        runs_.back().colour == colour_) {
        runs_.back().text += piece;
    } else {
        runs_.push_back({piece.toString(), x_, y_, colour_});
    }
    x_ = endX;
    runs_.back().endX = x_;
}

void StatusLogWidget::keepLineInView(const TwipScale& scale) {
    // Checked once per line: a burst of single characters measures no font per character.
    if (y_ == lineInView_) {
        return;
    }
    const double bottom = scale.toTwipsY(contentsRect().height());
    const double textHeight = scale.toTwipsY(QFontMetricsF(font(), this).height());
    const double lineHeight = lineHeightTwips();
    if (y_ + textHeight <= bottom || bottom <= 0) {
        lineInView_ = y_;
        return;
    }
    // Never above the top: an area lower than one line shows its top line.
    const double lines =
        std::min(std::ceil((y_ + textHeight - bottom) / lineHeight), std::round(y_ / lineHeight));
    if (lines <= 0) {
        lineInView_ = y_;
        return;
    }
    const double shift = lines * lineHeight;
    std::erase_if(runs_, [&](const Run& run) { return run.y - shift < -lineHeight / 2; });
    for (Run& run : runs_) {
        run.y -= shift;
    }
    y_ -= shift;
    lineInView_ = y_;
}

qsizetype StatusLogWidget::fittingPrefix(const QString& text, double room, const TwipScale& scale) {
    // Breaks only between whole characters (a surrogate pair or an accent stays whole).
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype fits = 0;
    for (qsizetype next = characters.toNextBoundary(); next > 0 && next < text.size();
         next = characters.toNextBoundary()) {
        if (advanceTwips(text.first(next), scale) > room) {
            break;
        }
        fits = next;
    }
    return fits;
}

double StatusLogWidget::advanceTwips(const QString& piece, const TwipScale& scale) {
    if (piece.size() == 1) {
        return characterAdvanceTwips(piece.front().unicode(), scale);
    }
    if (piece.size() == 2 && piece.front().isHighSurrogate() && piece.back().isLowSurrogate()) {
        return characterAdvanceTwips(QChar::surrogateToUcs4(piece.front(), piece.back()), scale);
    }
    return scale.toTwipsX(QFontMetricsF(font(), this).horizontalAdvance(piece));
}

double StatusLogWidget::characterAdvanceTwips(char32_t character, const TwipScale& scale) {
    // The communication test draws one character at a time, tens of thousands in a burst;
    // measuring each anew would keep the window busy far too long.
    constexpr qsizetype kMostCached = 4096;  // any key can be typed: the cache stays bounded
    if (scale.dpiX() != advancesDpiX_ || advances_.size() >= kMostCached) {
        advances_.clear();
        advancesDpiX_ = scale.dpiX();
    }
    const auto cached = advances_.constFind(character);
    if (cached != advances_.constEnd()) {
        return *cached;
    }
    const QString piece = QStringView(QChar::fromUcs4(character)).toString();
    const double advance = scale.toTwipsX(QFontMetricsF(font(), this).horizontalAdvance(piece));
    advances_.insert(character, advance);
    return advance;
}

void StatusLogWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        advances_.clear();
        lineInView_ = -1;
    }
    QFrame::changeEvent(event);
}

QString StatusLogWidget::shownText() const {
    QStringList lines;
    const double lineHeight = lineHeightTwips();
    for (const Run& run : runs_) {
        const auto line = static_cast<qsizetype>(std::lround(run.y / lineHeight));
        while (lines.size() <= line) {
            lines.append(QString());
        }
        lines[line] += run.text;
    }
    return lines.join(QLatin1Char('\n'));
}

void StatusLogWidget::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy all"),
                   [this] { QGuiApplication::clipboard()->setText(shownText()); });
    menu.exec(event->globalPos());
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
