#pragma once

#include <string>
#include <vector>

#include "core/StatusLog.h"

namespace rq::testing {

// Records what operations write to the status area. Lines are kept as the operator
// would read them: pieces joined, one entry per finished line.
class FakeStatusLog final : public StatusLog {
  public:
    // One drawn text, with the colour it was drawn in.
    struct Drawn {
        std::string text;
        Rgb colour;
    };

    void appendLine(std::string_view text) override;
    void appendPiece(std::string_view text) override;
    void appendEmptyLine() override;
    void clear() override;
    void repaint() override;
    void repaintWindow() override;
    void setTextColour(Rgb colour) override;
    [[nodiscard]] PrintPosition printPosition() const override;
    void takeFocus() override;

    // Finished lines since the last clear, then the open line if it holds anything.
    [[nodiscard]] std::vector<std::string> lines() const;
    // Everything since the last clear, lines ended by "\n".
    [[nodiscard]] std::string text() const;
    [[nodiscard]] const std::string& openLine() const { return open_; }
    [[nodiscard]] Rgb colour() const { return colour_; }

    std::vector<Drawn> drawn;  // every text drawn since the start, in order
    // Every call since the start, in order: "piece:<text>", "line:<text>", "empty",
    // "clear", "repaint", "repaintWindow", "colour:<r>,<g>,<b>", "focus". Tests may add
    // their own entries (a device call, say) to see what happened between.
    std::vector<std::string> trace;
    int clears = 0;
    int repaints = 0;
    int windowRepaints = 0;
    int focusRequests = 0;

    // A fixed metric, so that positions are predictable in tests.
    static constexpr int kCharWidthTwips = 90;
    static constexpr int kLineHeightTwips = 225;

  private:
    void draw(std::string_view text);
    void endLine();

    std::vector<std::string> finished_;
    std::string open_;
    int openCharacters_ = 0;
    Rgb colour_ = kStatusTextColour;
};

}  // namespace rq::testing
