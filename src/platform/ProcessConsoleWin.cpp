// The console and the command line of Windows programs.
// windows.h first: the other system headers build on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/Text.h"
#include "platform/ProcessConsole.h"

namespace rq {
namespace {

struct LocalFreer {
    void operator()(LPWSTR* block) const { ::LocalFree(block); }
};

bool IsConsoleHandle(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode);
}

void EnableEscapeSequences(HANDLE handle) {
    DWORD mode = 0;
    if (IsConsoleHandle(handle) && ::GetConsoleMode(handle, &mode)) {
        // Refused before Windows 10; the output then stays plain.
        ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char* argv[]) {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!wide) {
        return {argv + (argc > 0 ? 1 : 0), argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        const std::wstring_view argument(wide.get()[i]);
        arguments.push_back(text::FromUtf16(std::u16string(argument.begin(), argument.end())));
    }
    return arguments;
}

bool IsConsole(int fd) {
    return IsConsoleHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}

namespace {

UINT gShellCodePage = 0;

void RestoreCodePage() {
    ::SetConsoleOutputCP(gShellCodePage);
}

}  // namespace

void PrepareConsoleOutput() {
    // The code page belongs to the console, shared with the shell: only set when ours is
    // a console at all, and given back at the end, as the shell's other programs expect
    // theirs.
    if ((IsConsole(1) || IsConsole(2)) && gShellCodePage == 0) {
        gShellCodePage = ::GetConsoleOutputCP();
        if (gShellCodePage != 0 && ::SetConsoleOutputCP(CP_UTF8)) {
            std::atexit(RestoreCodePage);
        }
    }
    EnableEscapeSequences(::GetStdHandle(STD_OUTPUT_HANDLE));
    EnableEscapeSequences(::GetStdHandle(STD_ERROR_HANDLE));
    std::fflush(stdout);
    ::_setmode(1, _O_BINARY);
}

void UseParentConsole() {
    // Output redirected to a file or pipe already has somewhere to go.
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN ||
        !::AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    std::FILE* ignored = nullptr;
    ::freopen_s(&ignored, "CONOUT$", "w", stdout);
    ::freopen_s(&ignored, "CONOUT$", "w", stderr);
    PrepareConsoleOutput();
}

}  // namespace rq
