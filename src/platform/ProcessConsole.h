#pragma once

#include <string>
#include <vector>

namespace rq {

// The program's arguments (without its name) as UTF-8. Windows passes main() the ANSI
// code page's bytes, where a name such as Prüfung.kxs or Тест.kxs arrives as '?', so
// there they are taken from the wide command line; elsewhere argv is already the bytes.
[[nodiscard]] std::vector<std::string> Utf8Arguments(int argc, char* argv[]);

// Whether descriptor `fd` is a console a person reads and types at: a terminal, not a
// file, a pipe or a device such as NUL (which Windows' _isatty counts as one).
[[nodiscard]] bool IsConsole(int fd);

// Standard output and error as a command-line program needs them: on a Windows console
// UTF-8 and the terminal's escape sequences; standard output writes its bytes unchanged
// (no CR before each LF), so that `monitor --raw` passes the reader's bytes on as they
// came. Nothing to do elsewhere.
void PrepareConsoleOutput();

// A window program started from a console prints --help and --version there: Windows
// gives a window program no console of its own.
void UseParentConsole();

}  // namespace rq
