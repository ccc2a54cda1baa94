#pragma once

#include <string>
#include <string_view>

namespace rq::cli {

// How status text, and the reader's bytes in `monitor`, reach the console.
enum class ByteStyle {
    Text,     // UTF-8 as the operations write it
    Visible,  // a terminal: no byte from the reader may drive it
    Raw,      // a pipe, a file or --raw: the reader's own bytes
};

// `utf8` as written in `style`. Visible shows control characters other than CR, LF and TAB
// (C0, DEL and the C1 controls the code page leaves undefined) as "\x1b"; Raw gives the
// Windows-1252 bytes the characters came from.
[[nodiscard]] std::string ConsoleText(std::string_view utf8, ByteStyle style);

}  // namespace rq::cli
