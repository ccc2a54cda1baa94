// bin\rq4720-cli.exe, what the PATH finds when the installer was asked to put rq4720-cli
// there. It runs the rq4720-cli.exe of the folder above with the same arguments and
// ends with its exit status. Only this folder goes on the PATH: the folder above holds
// Qt's DLLs, which the PATH would offer to every other program.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring OwnPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), path.size());
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The arguments as they were typed: the command line after the program's name, which
// ends at its closing quote or at the first blank.
const wchar_t* ArgumentsOf(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') {
            ++line;
        }
        return *line == L'"' ? line + 1 : line;
    }
    while (*line != L'\0' && *line != L' ' && *line != L'\t') {
        ++line;
    }
    return line;
}

// Ctrl-C reaches every program of the console; rq4720-cli decides what it does (a
// flash is never cut off), so the launcher only waits for it.
BOOL WINAPI KeepWaiting(DWORD /*event*/) {
    return TRUE;
}

}  // namespace

int wmain() {
    const std::wstring self = OwnPath();
    const std::wstring program = self.substr(0, self.find_last_of(L'\\')) + L"\\..\\rq4720-cli.exe";
    std::wstring line = L"\"" + program + L"\"" + ArgumentsOf(::GetCommandLineW());
    ::SetConsoleCtrlHandler(KeepWaiting, TRUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::fprintf(stderr, "rq4720-cli: cannot start %ls (error %lu)\n", program.c_str(),
                     ::GetLastError());
        return 127;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
