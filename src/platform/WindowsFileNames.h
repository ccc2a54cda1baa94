#pragma once

#include <optional>
#include <string_view>

namespace rq {

// Why Windows would not take `path` (UTF-8) as the name of a file on a disk, or
// nullopt. The names of the old DOS devices (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to
// LPT9, COM and LPT with a superscript 1, 2 or 3, CONIN$, CONOUT$) name the device in
// every folder, whatever extension follows and with trailing dots and blanks, so
// "C:\Users\op\nul.kxs" writes into the device. A ':' past a drive letter names an
// alternate stream of a file ("a:b.kxs"), and \\.\ paths name devices. Pure text,
// used on Windows and tested everywhere.
[[nodiscard]] std::optional<std::string_view> WindowsNonFileReason(std::string_view path);

}  // namespace rq
