// Terminals and arguments on POSIX systems: argv and the descriptors are already what
// the programs need.
#include <unistd.h>

#include "platform/ProcessConsole.h"

namespace rq {

std::vector<std::string> Utf8Arguments(int argc, char* argv[]) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

bool IsConsole(int fd) {
    return ::isatty(fd) == 1;
}

void PrepareConsoleOutput() {}

void UseParentConsole() {}

}  // namespace rq
