// Ctrl-C and Ctrl-Break in the Windows console only print the notice while the shield
// lives. Closing the console window cannot be refused there: Windows ends the program.
// The system runs the handler on a thread of its own, at any moment: the notice is kept
// in storage of this file, which is never freed, and read and changed under a lock.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/SignalShield.h"

namespace rq {
namespace {

SRWLOCK gLock = SRWLOCK_INIT;
std::array<char, 512> gNotice{};
std::size_t gNoticeLength = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    std::array<char, 512> notice{};
    ::AcquireSRWLockShared(&gLock);
    const std::size_t length = gNoticeLength;
    std::memcpy(notice.data(), gNotice.data(), length);
    ::ReleaseSRWLockShared(&gLock);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), notice.data(), static_cast<DWORD>(length),
                &written, nullptr);
    return TRUE;
}

void Store(std::string_view notice) {
    ::AcquireSRWLockExclusive(&gLock);
    gNoticeLength = std::min(notice.size(), gNotice.size());
    std::memcpy(gNotice.data(), notice.data(), gNoticeLength);
    ::ReleaseSRWLockExclusive(&gLock);
}

}  // namespace

struct SignalShield::Previous {};

SignalShield::SignalShield() : previous_(std::make_unique<Previous>()) {
    Store({});
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SignalShield::setNotice(std::string_view notice) {
    Store(notice);
}

SignalShield::~SignalShield() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    Store({});
}

}  // namespace rq
