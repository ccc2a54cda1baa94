#pragma once

#include <QStringList>

#include <QColor>
#include <QFrame>
#include <QHash>
#include <QString>
#include <functional>
#include <vector>

#include "app/Twips.h"
#include "core/StatusLog.h"

namespace rq::app {

// The status area of the main window (Picture1): a drawing area with a print
// position, not a list or an editor. What was drawn is kept as text runs at twip
// positions, so it survives covering, uncovering and repaints at any DPI.
// Nothing written is hidden: output that would pass the right edge continues at the
// start of the next line, and output that would start below the bottom moves the
// contents up by whole lines, so the newest line is always in view. While the output
// fits, texts and print positions are exactly as drawn.
class StatusLogWidget final : public QFrame, public rq::StatusLog {
    Q_OBJECT

  public:
    // Receives each character typed while the area has the keyboard focus.
    using KeyHandler = std::function<void(char32_t)>;

    explicit StatusLogWidget(QWidget* parent = nullptr);

    void appendLine(std::string_view text) override;
    void appendPiece(std::string_view text) override;
    void appendCharacters(std::u32string_view characters) override;
    void appendEmptyLine() override;
    void clear() override;
    void repaint() override;
    void repaintWindow() override;
    void setTextColour(Rgb colour) override;
    [[nodiscard]] PrintPosition printPosition() const override;
    void takeFocus() override;

    void setKeyHandler(KeyHandler handler);
    // Nothing visible has been drawn since the start or the last clear.
    [[nodiscard]] bool isEmpty() const { return runs_.empty(); }
    // The visible text, one entry per drawn line (for tests and diagnostics).
    [[nodiscard]] QStringList visibleLines() const;
    // The visible text as the operator sees it: lines top to bottom, blank ones included.
    [[nodiscard]] QString shownText() const;

    static constexpr Rgb kBackground{224, 224, 224};

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    struct Run {
        QString text;
        double x = 0;  // twips from the top-left corner of the drawing area
        double y = 0;
        QColor colour;
        double endX = 0;  // where the print position stood after it
    };

    [[nodiscard]] double lineHeightTwips() const;
    // Draws a piece that fits the rest of the line at the print position and moves the
    // print position to `endX`. The caller asks for the repaint, once for all it drew.
    void draw(QStringView piece, double endX, const TwipScale& scale);
    // Moves the contents up by whole lines until a line at the print position fits.
    void keepLineInView(const TwipScale& scale);
    // How many leading UTF-16 units of `text`, whole characters, fit into `room` twips.
    [[nodiscard]] qsizetype fittingPrefix(const QString& text, double room, const TwipScale& scale);
    // The width of a piece in twips; single characters come from a cache.
    [[nodiscard]] double advanceTwips(const QString& piece, const TwipScale& scale);
    [[nodiscard]] double characterAdvanceTwips(char32_t character, const TwipScale& scale);

    std::vector<Run> runs_;
    double x_ = 0;
    double y_ = 0;
    double lineInView_ = -1;  // the print line last found to fit the area
    QColor colour_;
    KeyHandler keyHandler_;
    QHash<char32_t, double> advances_;  // of single characters
    double advancesDpiX_ = 0;
};

}  // namespace rq::app
