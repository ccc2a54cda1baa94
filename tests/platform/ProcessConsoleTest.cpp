// A console is told apart from the other character devices, so that rq4720-cli asks its
// questions and draws its progress bar where a person reads, and never into NUL.
#include <fcntl.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#else
#include <unistd.h>

#include <cstdlib>
#endif

#include <iostream>
#include <string>
#include <vector>

#include "platform/ProcessConsole.h"

namespace rq {
namespace {

// A console of the test's own, or -1 where the system gives none.
int OpenConsole() {
#ifdef _WIN32
    ::FreeConsole();
    ::AllocConsole();
    const HANDLE output =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (output == INVALID_HANDLE_VALUE || !::GetConsoleMode(output, &mode)) {
        return -1;  // Wine without a terminal makes consoles that answer no mode
    }
    return ::_open_osfhandle(reinterpret_cast<std::intptr_t>(output), _O_WRONLY);
#else
    return ::posix_openpt(O_RDWR | O_NOCTTY);
#endif
}

TEST(ProcessConsole, OnlyATerminalIsAConsole) {
#ifdef _WIN32
    const int null = ::_open("NUL", _O_WRONLY);
    int pipe[2] = {-1, -1};
    ASSERT_EQ(::_pipe(pipe, 64, _O_BINARY), 0);
#else
    const int null = ::open("/dev/null", O_WRONLY);
    int pipe[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipe), 0);
#endif
    const int file = ::open(__FILE__, O_RDONLY);
    ASSERT_GE(null, 0);
    EXPECT_FALSE(IsConsole(null));  // a character device all the same
    EXPECT_FALSE(IsConsole(pipe[1]));
    if (file >= 0) {
        EXPECT_FALSE(IsConsole(file));
        ::close(file);
    }
    if (const int console = OpenConsole(); console >= 0) {
        EXPECT_TRUE(IsConsole(console));
        ::close(console);
    } else {
        std::cout << "[ skipped  ] a console: this system gives the test none\n";
    }
    ::close(null);
    ::close(pipe[0]);
    ::close(pipe[1]);
}

#ifdef _WIN32
// Names beyond the ANSI code page arrive as '?' in argv; the wide command line keeps them.
// The test starts itself again with two such names and the child compares what arrives.
TEST(ProcessConsole, ArgumentsBeyondTheCodePageArriveAsUtf8) {
    const std::vector<std::string> names = {
        "Pr\xC3\xBC"
        "fung.kxs",
        "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82.kxs"};
    if (std::getenv("RQ_ARGUMENTS_CHILD") != nullptr) {
        const std::vector<std::string> arguments = Utf8Arguments(__argc, __argv);
        ASSERT_GE(arguments.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(arguments.end() - 2, arguments.end()), names);
        return;
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = std::wstring(L"\"") + self +
                        L"\" --gtest_filter=ProcessConsole.ArgumentsBeyond* Pr\u00FCfung.kxs "
                        L"\u0422\u0435\u0441\u0442.kxs";
    ::SetEnvironmentVariableW(L"RQ_ARGUMENTS_CHILD", L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &child));
    ::SetEnvironmentVariableW(L"RQ_ARGUMENTS_CHILD", nullptr);
    ::WaitForSingleObject(child.hProcess, 60'000);
    DWORD status = 1;
    ::GetExitCodeProcess(child.hProcess, &status);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    EXPECT_EQ(status, 0u);
}
#endif

}  // namespace
}  // namespace rq
