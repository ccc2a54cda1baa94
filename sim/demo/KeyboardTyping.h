#pragma once

#include <cstdint>
#include <span>

class QWidget;

namespace rq::demo {

// Types the bytes (Windows-1252 characters) as a keyboard does: a key press and release
// for each, into whichever widget of `window` has the keyboard focus at that moment.
void TypeIntoWindow(QWidget& window, std::span<const std::uint8_t> bytes);

}  // namespace rq::demo
