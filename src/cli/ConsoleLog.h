#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "cli/ConsoleBytes.h"
#include "core/StatusLog.h"

namespace rq::cli {

// The status log as lines on a stream, each written and flushed as the operation writes
// it. A console has no area to fill: the print position is the column on the current line
// (in characters) and its row stays 0, so the communication test never clears it. Colours,
// repaints and the focus mean nothing here.
class ConsoleLog final : public StatusLog {
  public:
    explicit ConsoleLog(std::ostream& out) : out_(out) {}

    void appendLine(std::string_view text) override;
    void appendPiece(std::string_view text) override;
    void appendEmptyLine() override;
    // Only ends a started line: what was written stays.
    void clear() override;
    void repaint() override;
    void repaintWindow() override;
    void setTextColour(Rgb) override {}
    [[nodiscard]] PrintPosition printPosition() const override;
    void takeFocus() override {}

    // On a terminal: shows `trailer` after the current line's text in place of what was
    // shown after it before (a progress bar redrawn where it stands).
    void showAfterLine(std::string_view trailer);

    // A firmware update's progress: the bar, and with `dots` also single "." pieces. Any
    // later output starts a line of its own, so a failure text never runs on after it.
    void setProgressDots(bool dots) { progressDots_ = dots; }
    // Lines shown to a person: a reader's text in them (the version) must not drive the
    // terminal, so control characters and bytes that are not UTF-8 show escaped.
    void setSafeLines(bool safe) { safeLines_ = safe; }
    // How pieces are written (the reader's bytes in `monitor`).
    void setPieceStyle(ByteStyle style) { pieceStyle_ = style; }

  private:
    void endProgressLine();

    std::ostream& out_;
    std::string line_;  // the current line as written so far
    bool progressDots_ = false;
    bool progressShown_ = false;  // the current line ends in a bar or progress dots
    ByteStyle pieceStyle_ = ByteStyle::Text;
    bool safeLines_ = false;
};

}  // namespace rq::cli
