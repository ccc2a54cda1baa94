// Why a serial port does not open, as Windows tells it. A COM port held by another
// program refuses access to everyone else, whatever the user's rights.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/DeviceDiagnosis.h"

namespace rq {
namespace {

std::wstring Wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

bool IsComName(std::string path) {
    std::ranges::transform(path, path.begin(),
                           [](char c) { return static_cast<char>(std::toupper(c)); });
    return path.starts_with("COM") || path.starts_with("\\\\.\\COM");
}

std::wstring OpenName(const std::string& path) {
    return Wide(path.starts_with("\\\\") ? path : "\\\\.\\" + path);
}

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())) != 0) {
        message.pop_back();
    }
    return message;
}

}  // namespace

NodeDiagnosis DiagnoseDeviceNode(const std::string& path) {
    if (!IsComName(path)) {
        // A USB device's path: only whether it is there (hidapi opens it shared).
        const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return {NodeState::Missing, SystemMessage(GetLastError()), {}};
        }
        CloseHandle(handle);
        return {};
    }
    const HANDLE handle = CreateFileW(OpenName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return {NodeState::Missing, SystemMessage(error), {}};
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                return {NodeState::Busy, SystemMessage(error), {}};
            default:
                return {NodeState::Failed, SystemMessage(error), {}};
        }
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool serial = GetCommState(handle, &dcb) != FALSE;
    CloseHandle(handle);
    NodeDiagnosis diagnosis;
    diagnosis.terminal = serial;  // a file or another device opens, but holds no reader
    return diagnosis;
}

std::string HolderOf(const std::string& /*path*/) {
    return {};  // Windows does not tell who holds a COM port
}

std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb) {
    switch (diagnosis.state) {
        case NodeState::Usable:
            if (usb) {
                return "no answer to the handshake";
            }
            return diagnosis.terminal ? "no answer at any rate" : "not a serial port";
        case NodeState::Missing:
            return "no such port";
        case NodeState::NoPermission:
            return "no permission";
        case NodeState::Busy:
            return "busy: held by another program";
        case NodeState::Failed:
            return "does not open: " + diagnosis.reason;
    }
    return {};
}

std::string PermissionAdvice(const NodeAccess& /*access*/, bool /*usb*/) {
    return "no permission";
}

std::vector<std::string> SetupNotes(std::span<const std::string> /*serialDevices*/,
                                    std::span<const std::string> /*unopenedUsb*/,
                                    const std::string& /*root*/) {
    return {};
}

}  // namespace rq
