#pragma once

#include <cstdint>
#include <string_view>

namespace rq {

// A colour as the reader tool's status area uses it.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The status area's normal text colour and the colour of a shown version.
inline constexpr Rgb kStatusTextColour{0, 64, 0};
inline constexpr Rgb kVersionTextColour{0, 0, 128};

// A print position in twips (1/1440 inch) from the area's top-left corner.
struct PrintPosition {
    int x = 0;
    int y = 0;
    friend bool operator==(const PrintPosition&, const PrintPosition&) = default;
};

// The status area of the main window as the operations see it. Texts are UTF-8.
// Operations block the interface thread, so they call repaint() after every line
// that must be seen before a wait.
class StatusLog {
  public:
    virtual ~StatusLog() = default;

    // Draws the text at the print position and moves to the start of the next line.
    virtual void appendLine(std::string_view text) = 0;
    // Draws the text and leaves the print position behind its last character.
    virtual void appendPiece(std::string_view text) = 0;
    // Draws each character as a piece of its own, one after the other, and leaves the
    // print position behind the last. A burst from a reader comes as one call: drawing
    // it need not pay a piece's costs per character.
    virtual void appendCharacters(std::u32string_view characters);
    // Moves to the start of the next line without drawing.
    virtual void appendEmptyLine() = 0;
    // Erases everything and returns the print position to (0, 0).
    virtual void clear() = 0;
    // Brings the status area on screen up to date at once.
    virtual void repaint() = 0;
    // Brings the whole main window on screen up to date at once.
    virtual void repaintWindow() = 0;
    virtual void setTextColour(Rgb colour) = 0;
    [[nodiscard]] virtual PrintPosition printPosition() const = 0;
    virtual void takeFocus() = 0;
};

}  // namespace rq
