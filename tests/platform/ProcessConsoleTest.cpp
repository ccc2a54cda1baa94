// A console is told apart from the other character devices, so that rq4720-cli asks its
// questions and draws its progress bar where a person reads, and never into NUL.
#include <fcntl.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

#include "platform/ProcessConsole.h"

namespace rq {
namespace {

TEST(ProcessConsole, OnlyATerminalIsAConsole) {
#ifdef _WIN32
    const int null = ::_open("NUL", _O_WRONLY);
    ::AllocConsole();  // a console of the test's own, hidden or not
    const int console = ::_open("CONOUT$", _O_WRONLY);
#else
    const int null = ::open("/dev/null", O_WRONLY);
    const int console = ::posix_openpt(O_RDWR | O_NOCTTY);
#endif
    ASSERT_GE(null, 0);
    ASSERT_GE(console, 0);
    EXPECT_FALSE(IsConsole(null));  // a character device all the same
    EXPECT_TRUE(IsConsole(console));
    const int file = ::open(__FILE__, O_RDONLY);
    if (file >= 0) {
        EXPECT_FALSE(IsConsole(file));
        ::close(file);
    }
    ::close(null);
    ::close(console);
}

}  // namespace
}  // namespace rq
