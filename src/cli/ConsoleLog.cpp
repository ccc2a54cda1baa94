#include "cli/ConsoleLog.h"

#include <ostream>

#include "core/Text.h"

namespace rq::cli {

void ConsoleLog::endProgressLine() {
    if (progressShown_) {
        progressShown_ = false;
        out_ << '\n';
        line_.clear();
    }
}

void ConsoleLog::appendLine(std::string_view text) {
    endProgressLine();
    // A flash's failure text starts a line of its own also before the first dot.
    if (progressDots_ && !line_.empty()) {
        out_ << '\n';
    }
    out_ << (safeLines_ ? text::TerminalSafe(text) : std::string(text)) << '\n' << std::flush;
    line_.clear();
}

void ConsoleLog::appendPiece(std::string_view text) {
    if (progressDots_ && text == ".") {
        progressShown_ = true;
    } else {
        endProgressLine();
    }
    out_ << ConsoleText(text, pieceStyle_) << std::flush;
    // The reader's own CR and LF bytes start a new line as well.
    if (const auto end = text.find_last_of("\r\n"); end != std::string_view::npos) {
        line_ = text.substr(end + 1);
    } else {
        line_ += text;
    }
}

void ConsoleLog::appendEmptyLine() {
    // After progress this only ends its line, as it always did.
    progressShown_ = false;
    out_ << '\n' << std::flush;
    line_.clear();
}

void ConsoleLog::clear() {
    if (!line_.empty()) {
        appendEmptyLine();
    }
}

void ConsoleLog::repaint() {
    out_.flush();
}

void ConsoleLog::repaintWindow() {
    out_.flush();
}

PrintPosition ConsoleLog::printPosition() const {
    return {static_cast<int>(text::CharacterCount(line_)), 0};
}

void ConsoleLog::showAfterLine(std::string_view trailer) {
    // Carriage return, the line again, the trailer, and erase what an older one left.
    out_ << '\r' << line_ << trailer << "\x1b[K" << std::flush;
    progressShown_ = true;
}

}  // namespace rq::cli
