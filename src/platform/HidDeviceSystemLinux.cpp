#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/HidDeviceSystem.h"

namespace rq::hidsystem {
namespace {

// Longest report descriptor a HID device may have.
constexpr std::size_t kMaxDescriptorBytes = 4096;

}  // namespace

std::optional<HidReportLayout> ReportLayoutOf(const std::string& path) {
    // hidapi 0.13 cannot hand out the descriptor; the kernel publishes it in sysfs.
    const std::optional<std::string> sysfsPath = HidrawReportDescriptorPath(path);
    if (!sysfsPath) {
        return std::nullopt;
    }
    std::ifstream file(*sysfsPath, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(kMaxDescriptorBytes);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return ParseHidReportDescriptor(bytes);
}

std::string OpenFailureReason(const std::string& path, const std::string& hidapiError) {
    // hidapi keeps errno to itself; opening again reproduces the system's answer.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (error == 0) {
        return hidapiError;
    }
    std::string reason = std::strerror(error);
    if (error == EACCES || error == EPERM) {
        reason += " (the udev rule lets the user at the seat in; rq4720-cli list tells the fix)";
    }
    return reason;
}

}  // namespace rq::hidsystem
