#include "filemanager/DriveDirectories.h"

#include <algorithm>
#include <array>

namespace rq {

DriveDirectories::DriveDirectories(std::string startDirectory, char separator)
    : separator_(separator), current_(std::move(startDirectory)) {}

bool DriveDirectories::holds(std::string_view root, std::string_view path) const {
    if (!path.starts_with(root)) {
        return false;
    }
    return path.size() == root.size() || root.ends_with(separator_) ||
           path[root.size()] == separator_;
}

std::string DriveDirectories::driveOf(std::string_view path,
                                      const std::vector<std::string>& roots) const {
    const std::string* best = nullptr;
    for (const auto& root : roots) {
        if (holds(root, path) && (best == nullptr || root.size() > best->size())) {
            best = &root;
        }
    }
    if (best != nullptr) {
        return *best;
    }
    return roots.empty() ? std::string(1, separator_) : roots.front();
}

std::string DriveDirectories::directoryOf(const std::string& root) const {
    const auto found = lastShown_.find(root);
    return found == lastShown_.end() ? root : found->second;
}

void DriveDirectories::remember(const std::string& root, const std::string& directory) {
    lastShown_[root] = directory;
    current_ = directory;
}

void DriveDirectories::forget(const std::string& root) {
    lastShown_.erase(root);
}

bool IsOperatorVolume(std::string_view root, std::string_view fileSystemType) {
    if (root == "/") {
        return true;
    }
    constexpr std::array<std::string_view, 24> kHiddenTypes = {
        "autofs",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2", "configfs",
        "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl", "hugetlbfs",
        "mqueue",     "nsfs",        "overlay",  "proc",     "pstore",  "ramfs",
        "rpc_pipefs", "securityfs",  "squashfs", "sysfs",    "tmpfs",   "tracefs"};
    if (std::find(kHiddenTypes.begin(), kHiddenTypes.end(), fileSystemType) != kHiddenTypes.end()) {
        return false;
    }
    // Removable media are mounted under /run/media on some systems.
    if (root.starts_with("/run/media/")) {
        return true;
    }
    constexpr std::array<std::string_view, 6> kSystemTrees = {"/proc", "/sys",  "/dev",
                                                              "/run",  "/snap", "/boot"};
    return std::none_of(kSystemTrees.begin(), kSystemTrees.end(), [&](std::string_view tree) {
        return root == tree || (root.starts_with(tree) && root[tree.size()] == '/');
    });
}

}  // namespace rq
