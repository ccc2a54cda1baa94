// Ctrl-C and Ctrl-Break in the Windows console only print the notice while the shield
// lives. Closing the console window cannot be refused there: Windows ends the program.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "cli/SignalShield.h"

namespace rq::cli {
namespace {

std::atomic<const char*> gNotice{nullptr};
std::atomic<std::size_t> gNoticeLength{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (const char* notice = gNotice.load()) {
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), notice,
                    static_cast<DWORD>(gNoticeLength.load()), &written, nullptr);
    }
    return TRUE;
}

}  // namespace

struct SignalShield::Previous {};

SignalShield::SignalShield() : previous_(std::make_unique<Previous>()) {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SignalShield::setNotice(std::string_view notice) {
    gNotice = nullptr;  // an event now never pairs the new text with the old length
    gNoticeLength = notice.size();
    gNotice = notice.data();
}

SignalShield::~SignalShield() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    gNotice = nullptr;
}

}  // namespace rq::cli
