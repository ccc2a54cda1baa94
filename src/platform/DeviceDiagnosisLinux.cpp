// The Linux answers to "why is no reader there": device nodes, /proc, sysfs, groups.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
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
// directory, readable by everyone. Qt names a node below /dev by its path there, with
// "_" for "/" ("LCK..pts_3").
struct LockFile {
    fs::path file;
    long pid = 0;
    std::string program;
};

std::vector<LockFile> LockFilesOf(const std::string& path) {
    std::string relative =
        path.starts_with("/dev/") ? path.substr(5) : fs::path(path).filename().string();
    std::ranges::replace(relative, '/', '_');
    std::vector<std::string> names = {"LCK.." + relative};
    if (const std::string base = fs::path(path).filename().string(); base != relative) {
        names.push_back("LCK.." + base);
    }
    const char* tmp = std::getenv("TMPDIR");
    std::vector<LockFile> found;
    for (const fs::path& directory :
         {fs::path("/var/lock"), fs::path("/run/lock"), fs::path(tmp != nullptr ? tmp : "/tmp")}) {
        for (const std::string& name : names) {
            std::ifstream in(directory / name);
            std::string pidText;
            if (!std::getline(in, pidText)) {
                continue;
            }
            LockFile lock{directory / name, LeadingNumber(pidText).value_or(0), {}};
            std::getline(in, lock.program);  // Qt's lock files name the program next
            found.push_back(std::move(lock));
        }
    }
    return found;
}

// A zombie (killed, not yet reaped) holds no file any more.
bool Runs(long pid) {
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) {
        return false;
    }
    const std::string stat = FirstLine(fs::path("/proc") / std::to_string(pid) / "stat");
    const auto end = stat.rfind(')');
    return end == std::string::npos || stat.substr(end).rfind(") Z", 0) != 0;
}

std::string HolderInLockFiles(const std::string& path) {
    for (const LockFile& lock : LockFilesOf(path)) {
        if (Runs(lock.pid)) {
            return Process(lock.pid, lock.program);
        }
    }
    return {};
}

// A lock file whose process is gone keeps every program that honours it out, for good.
// Removed where this user may. Returns the first such file; `removed` says whether it went.
std::optional<StaleLock> ClearStaleLocks(const std::string& path, bool& removed) {
    std::optional<StaleLock> first;
    removed = true;
    for (const LockFile& lock : LockFilesOf(path)) {
        if (lock.pid > 0 && !Runs(lock.pid)) {
            removed = removed && ::unlink(lock.file.c_str()) == 0;
            if (!first) {
                first = StaleLock{lock.file.string(), lock.pid, path, false};
            }
        }
    }
    return first;
}

std::string UserName(uid_t uid) {
    const passwd* user = ::getpwuid(uid);
    return user != nullptr ? user->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

bool ProcessHasGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    return std::ranges::find(groups, gid) != groups.end();
}

// The group database lists the user (who may have joined since logging in).
bool GroupListsUser(gid_t gid) {
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr) {
        return false;
    }
    if (user->pw_gid == gid) {
        return true;
    }
    const std::string name = user->pw_name;
    const group* entry = ::getgrgid(gid);
    for (char** member = entry != nullptr ? entry->gr_mem : nullptr;
         member != nullptr && *member != nullptr; ++member) {
        if (name == *member) {
            return true;
        }
    }
    return false;
}

NodeAccess AccessOf(const std::string& path) {
    NodeAccess access{path, {}, {}, 0, ::geteuid() == 0, false, false};
    struct stat node {};
    if (::stat(path.c_str(), &node) == 0) {
        access.owner = UserName(node.st_uid);
        access.group = GroupName(node.st_gid);
        access.mode = node.st_mode & 07777;
        access.inGroup = ProcessHasGroup(node.st_gid);
        access.groupListed = !access.inGroup && GroupListsUser(node.st_gid);
    }
    return access;
}

// Where the package (or a person) installed the udev rule; empty when nowhere.
std::string InstalledRule(const fs::path& base) {
    for (const char* directory : {"etc/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
        const fs::path rule = base / directory / "70-rq4720.rules";
        std::error_code error;
        if (fs::exists(rule, error)) {
            return "/" + fs::path(directory).string() + "/70-rq4720.rules";
        }
    }
    return {};
}

std::string Sudo() {
    return ::geteuid() == 0 ? "" : "sudo ";
}

// The rule itself, so that the fix works without the source tree.
std::string RuleInstallCommand() {
    return "echo 'SUBSYSTEM==\"hidraw\", KERNELS==\"0003:10C4:84B7.*\", MODE=\"0660\", "
           "GROUP=\"plugdev\", TAG+=\"uaccess\"' | " +
           Sudo() + "tee /etc/udev/rules.d/70-rq4720.rules && " + Sudo() +
           "udevadm control --reload && " + Sudo() + "udevadm trigger";
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

// The group dialout owns one of `devices`, and this process is not in it.
bool OutsideDialout(std::span<const std::string> devices) {
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() == 0 || dialout == nullptr || ProcessHasGroup(dialout->gr_gid)) {
        return false;
    }
    return std::ranges::any_of(devices, [&](const std::string& device) {
        struct stat node {};
        return ::stat(device.c_str(), &node) == 0 && node.st_gid == dialout->gr_gid;
    });
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
            case EPERM: {
                NodeDiagnosis diagnosis{NodeState::NoPermission, std::strerror(errno), {}};
                diagnosis.access = AccessOf(path);
                return diagnosis;
            }
            case EBUSY: {  // a terminal another program opened with TIOCEXCL
                NodeDiagnosis busy{NodeState::Busy, std::strerror(errno), HolderOf(path)};
                bool removed = false;
                if (busy.holder.empty()) {
                    if (auto stale = ClearStaleLocks(path, removed)) {
                        busy.stale = std::move(*stale);
                        busy.stale.exclusive = true;
                    }
                }
                return busy;
            }
            default:
                return {NodeState::Failed, std::strerror(errno), {}};
        }
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    if (locked) {
        return {NodeState::Busy, {}, HolderOf(path)};
    }
    if (std::string holder = HolderInLockFiles(path); !holder.empty()) {
        return {NodeState::Busy, {}, std::move(holder)};
    }
    bool removed = false;
    if (std::optional<StaleLock> stale = ClearStaleLocks(path, removed); stale && !removed) {
        NodeDiagnosis diagnosis{NodeState::Busy, {}, {}};
        diagnosis.stale = std::move(*stale);
        return diagnosis;
    }
    NodeDiagnosis usable;
    usable.terminal = terminal;
    return usable;
}

std::string PermissionAdvice(const NodeAccess& access, bool usb) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", access.mode);
    const std::string node =
        "no permission: " + access.path + " is " + access.owner + ":" + access.group + " " + mode;
    const std::string sudo = access.root ? "" : "sudo ";
    const bool groupMay = (access.mode & 060) == 060;
    if ((access.mode & 006) == 006 || (groupMay && access.inGroup)) {
        return node + ", which lets you in: an access control list or a security module " +
               "refuses (getfacl " + access.path + ")";
    }
    if (groupMay && access.group != "root") {
        if (access.groupListed) {
            return node + ": you joined the group " + access.group +
                   " after logging in: log out and in again";
        }
        return node + ": join the group " + access.group + " (" + sudo + "usermod -aG " +
               access.group + " $USER), then log out and in again";
    }
    // Neither the group (or only root's) nor others may: the node itself must change.
    if (usb) {
        return node +
               ": the udev rule gives the reader to the user at the seat and the group plugdev: " +
               RuleInstallCommand() + ", then plug the reader in again";
    }
    return node + ": give it to the group dialout (" + sudo + "chgrp dialout " + access.path +
           " && " + sudo + "chmod 660 " + access.path +
           ", until it is plugged in again) and be in that group";
}

std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb) {
    switch (diagnosis.state) {
        case NodeState::Usable:
            if (usb) {
                return "no answer to the handshake";
            }
            return diagnosis.terminal ? "no answer at any rate" : "not a serial port";
        case NodeState::Missing:
            return "no such device";
        case NodeState::NoPermission:
            return PermissionAdvice(diagnosis.access, usb);
        case NodeState::Busy:
            if (const StaleLock& stale = diagnosis.stale; !stale.file.empty()) {
                const std::string pid = std::to_string(stale.pid);
                if (stale.exclusive) {
                    return "busy: left in exclusive use by pid " + pid + " (lock file " +
                           stale.file + "), which no longer runs; root clears it by opening " +
                           "the port once: " + Sudo() + "rq4720-cli --reader " + stale.device +
                           " version";
                }
                return "busy: the lock file " + stale.file + " names pid " + pid +
                       ", which no longer runs; only its owner or root may remove it: " + Sudo() +
                       "rm " + stale.file;
            }
            return "busy: held by " +
                   (diagnosis.holder.empty() ? std::string("another program") : diagnosis.holder);
        case NodeState::Failed:
            return "does not open: " + diagnosis.reason;
    }
    return {};
}

std::vector<std::string> SetupNotes(std::span<const std::string> serialDevices,
                                    std::span<const std::string> unopenedUsb,
                                    const std::string& root) {
    const fs::path base(root);
    std::vector<std::string> notes;
    if (!unopenedUsb.empty()) {
        const std::string rule = InstalledRule(base);
        notes.push_back(
            rule.empty()
                ? "the udev rule for the reader's USB interface is not installed, so only root "
                  "can open it: " +
                      RuleInstallCommand() + ", then plug the reader in again"
                : "the udev rule " + rule +
                      " gives the reader to the user logged in at the seat (not to one "
                      "logged in over the network); plug the reader in again after installing it");
    }
    if (root == "/" && OutsideDialout(serialDevices)) {
        notes.push_back("you are not in the group dialout, which owns serial ports here: " +
                        Sudo() + "usermod -aG dialout $USER, then log out and in again");
    }
    if (ModemManagerRuns(base / "proc")) {
        notes.emplace_back(
            "ModemManager is running: it probes serial adapters as they appear and holds them "
            "meanwhile; where no modem is used: " +
            Sudo() + "systemctl disable --now ModemManager");
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
                            " ms, which slows every answer: echo 1 | " + Sudo() +
                            "tee /sys/bus/usb-serial/devices/" + name + "/latency_timer");
        }
    }
    return notes;
}

}  // namespace rq
