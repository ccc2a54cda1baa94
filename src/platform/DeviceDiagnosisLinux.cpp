// The Linux answers to "why is no reader there": device nodes, /proc, sysfs, groups.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/DeviceDiagnosis.h"

namespace rq {
namespace fs = std::filesystem;
namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::optional<long> LeadingNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

std::string Process(long pid, std::string name) {
    if (name.empty()) {
        name = FirstLine(fs::path("/proc") / std::to_string(pid) / "comm");
    }
    return (name.empty() ? "a program" : name) + " (pid " + std::to_string(pid) + ")";
}

// A process that has the node open; only the user's own (or, for root, all) are seen.
std::string HolderInProc(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::weakly_canonical(path, error);
    for (const fs::directory_entry& process : fs::directory_iterator("/proc", error)) {
        const auto pid = LeadingNumber(process.path().filename().string());
        if (!pid) {
            continue;
        }
        std::error_code ignored;
        for (const fs::directory_entry& fd :
             fs::directory_iterator(process.path() / "fd", ignored)) {
            std::error_code unreadable;
            if (fs::read_symlink(fd.path(), unreadable) == target && !unreadable) {
                return Process(*pid, {});
            }
        }
    }
    return {};
}

// Serial programs (Qt's among them) leave "LCK..<name>" with their pid in a lock
// directory, readable by everyone.
std::string HolderInLockFiles(const std::string& path) {
    const std::string name = "LCK.." + fs::path(path).filename().string();
    const char* tmp = std::getenv("TMPDIR");
    for (const fs::path& directory :
         {fs::path("/var/lock"), fs::path("/run/lock"), fs::path(tmp != nullptr ? tmp : "/tmp")}) {
        std::ifstream in(directory / name);
        std::string pidText;
        std::string program;
        if (!std::getline(in, pidText)) {
            continue;
        }
        std::getline(in, program);  // Qt's lock files name the program next
        const auto pid = LeadingNumber(pidText);
        if (pid && (::kill(static_cast<pid_t>(*pid), 0) == 0 || errno == EPERM)) {
            return Process(*pid, program);
        }
    }
    return {};
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool ModemManagerRuns(const fs::path& proc) {
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator(proc, error)) {
        if (LeadingNumber(process.path().filename().string()) &&
            FirstLine(process.path() / "comm") == "ModemManager") {
            return true;
        }
    }
    return false;
}

bool OutsideDialout() {
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() == 0 || dialout == nullptr || ::getegid() == dialout->gr_gid) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    return std::ranges::find(groups, dialout->gr_gid) == groups.end();
}

}  // namespace

std::string HolderOf(const std::string& path) {
    std::string holder = HolderInProc(path);
    return holder.empty() ? HolderInLockFiles(path) : holder;
}

NodeDiagnosis DiagnoseDeviceNode(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
            case ENXIO:
            case ENODEV:
                return {NodeState::Missing, std::strerror(errno), {}};
            case EACCES:
            case EPERM:
                return {NodeState::NoPermission, std::strerror(errno), {}};
            case EBUSY:  // a terminal another program opened with TIOCEXCL
                return {NodeState::Busy, std::strerror(errno), HolderOf(path)};
            default:
                return {NodeState::Failed, std::strerror(errno), {}};
        }
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (locked) {
        return {NodeState::Busy, {}, HolderOf(path)};
    }
    if (std::string holder = HolderInLockFiles(path); !holder.empty()) {
        return {NodeState::Busy, {}, std::move(holder)};
    }
    return {};
}

std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb) {
    switch (diagnosis.state) {
        case NodeState::Usable:
            return "opens, but no reader answered";
        case NodeState::Missing:
            return "no such device";
        case NodeState::NoPermission:
            return usb ? "no permission: install the udev rule (packaging/70-rq4720.rules, see "
                         "README), then plug the reader in again; without a desktop seat, also "
                         "join the group plugdev"
                       : "no permission: join the group dialout (sudo usermod -aG dialout "
                         "$USER), then log in again";
        case NodeState::Busy:
            return "busy: held by " +
                   (diagnosis.holder.empty() ? std::string("another program") : diagnosis.holder);
        case NodeState::Failed:
            return "does not open: " + diagnosis.reason;
    }
    return {};
}

std::vector<std::string> SetupNotes(std::span<const std::string> serialDevices,
                                    const std::string& root) {
    const fs::path base(root);
    std::vector<std::string> notes;
    if (!Exists(base / "etc/udev/rules.d/70-rq4720.rules") &&
        !Exists(base / "usr/lib/udev/rules.d/70-rq4720.rules") &&
        !Exists(base / "lib/udev/rules.d/70-rq4720.rules")) {
        notes.emplace_back(
            "the udev rule for the reader's USB interface is not installed, so only root can "
            "open it: sudo cp packaging/70-rq4720.rules /etc/udev/rules.d/ && sudo udevadm "
            "control --reload && sudo udevadm trigger");
    }
    if (root == "/" && OutsideDialout()) {
        notes.emplace_back(
            "you are not in the group dialout, which owns the serial ports: sudo usermod -aG "
            "dialout $USER, then log in again");
    }
    if (ModemManagerRuns(base / "proc")) {
        notes.emplace_back(
            "ModemManager is running: it probes serial adapters as they appear and holds them "
            "meanwhile; where no modem is used: sudo systemctl disable --now ModemManager");
    }
    for (const std::string& device : serialDevices) {
        std::error_code error;
        const fs::path resolved =
            root == "/" ? fs::weakly_canonical(device, error) : fs::path(device);
        const std::string name = resolved.filename().string();
        const auto timer =
            LeadingNumber(FirstLine(base / "sys/class/tty" / name / "device/latency_timer"));
        if (timer && *timer > 1) {
            notes.push_back(device + ": the adapter's latency timer is " + std::to_string(*timer) +
                            " ms, which slows every answer: echo 1 | " +
                            "sudo tee /sys/bus/usb-serial/devices/" + name + "/latency_timer");
        }
    }
    return notes;
}

}  // namespace rq
