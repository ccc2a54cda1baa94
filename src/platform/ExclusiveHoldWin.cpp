// The hold on Windows. hidapi opens a HID device shared, so the system keeps no second
// program off it: every copy of the tool first creates a named mutex for the device's
// path, and the copy that finds it already there leaves the device alone. The name lies
// in the Global\ namespace, as the device belongs to the machine and not to one
// sign-in: a second user's session (fast user switching, a remote desktop) sees the
// hold too. A mutex another user created is not ours to open, which tells the same.
// The system removes the mutex with the last handle, when its holder ends in any way,
// so a crashed copy leaves no stale hold.
//
// The descriptor field keeps the mutex handle: Windows handles fit 32 bits ("only the
// lower 32 bits are significant"), so one converts to int and back unchanged.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/ExclusiveHold.h"

namespace rq {
namespace {

HANDLE ToHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

// Device paths hold backslashes, which a mutex name may not, and may be long: the name
// carries a hash of the path, letter case ignored (the system ignores it in paths).
std::wstring MutexName(const std::string& path) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : path) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        hash = (hash ^ static_cast<unsigned char>(lower)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Global\\rq4720-tool-device-%016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

void ExclusiveHold::release() {
    if (fd_ != -1) {
        ::CloseHandle(ToHandle(fd_));
        fd_ = -1;
    }
}

ExclusiveHold::Result ExclusiveHold::take(const std::string& path) {
    release();
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, MutexName(path).c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        return error == ERROR_ACCESS_DENIED ? Result::Busy : Result::Unavailable;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Result::Busy;
    }
    fd_ = static_cast<int>(reinterpret_cast<std::intptr_t>(mutex));
    return Result::Held;
}

}  // namespace rq
