#include "support/FakeStatusLog.h"

#include "core/Text.h"

namespace rq::testing {

void FakeStatusLog::appendPiece(std::string_view text) {
    trace.push_back("piece:" + std::string(text));
    draw(text);
}

void FakeStatusLog::appendLine(std::string_view text) {
    trace.push_back("line:" + std::string(text));
    draw(text);
    endLine();
}

void FakeStatusLog::appendEmptyLine() {
    trace.emplace_back("empty");
    endLine();
}

void FakeStatusLog::clear() {
    trace.emplace_back("clear");
    ++clears;
    finished_.clear();
    open_.clear();
    openCharacters_ = 0;
}

void FakeStatusLog::repaint() {
    trace.emplace_back("repaint");
    ++repaints;
}

void FakeStatusLog::repaintWindow() {
    trace.emplace_back("repaintWindow");
    ++windowRepaints;
}

void FakeStatusLog::setTextColour(Rgb colour) {
    trace.push_back("colour:" + std::to_string(colour.red) + "," + std::to_string(colour.green) +
                    "," + std::to_string(colour.blue));
    colour_ = colour;
}

void FakeStatusLog::takeFocus() {
    trace.emplace_back("focus");
    ++focusRequests;
}

void FakeStatusLog::draw(std::string_view text) {
    open_ += text;
    openCharacters_ += static_cast<int>(text::CharacterCount(text));
    drawn.push_back({std::string(text), colour_});
}

void FakeStatusLog::endLine() {
    finished_.push_back(open_);
    open_.clear();
    openCharacters_ = 0;
}

PrintPosition FakeStatusLog::printPosition() const {
    return {openCharacters_ * kCharWidthTwips,
            static_cast<int>(finished_.size()) * kLineHeightTwips};
}

std::vector<std::string> FakeStatusLog::lines() const {
    std::vector<std::string> result = finished_;
    if (!open_.empty()) {
        result.push_back(open_);
    }
    return result;
}

std::string FakeStatusLog::text() const {
    std::string result;
    for (const auto& line : finished_) {
        result += line + "\n";
    }
    return result + open_;
}

}  // namespace rq::testing
