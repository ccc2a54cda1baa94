#pragma once

#include <string>

namespace rq {

// Where the file manager starts: on Windows the user's Documents folder (a program
// started from the Start menu has its own Program Files folder as its current
// directory, where settings files do not belong and cannot be written); elsewhere the
// current directory, as the shell that started the program set it. UTF-8.
[[nodiscard]] std::string FileManagerStartDirectory();

}  // namespace rq
