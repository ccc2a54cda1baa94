#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace rq {

// What stands in for drives where there are no drive letters: the mounted volumes, named
// by their root paths. Each volume remembers the directory the file manager last showed
// on it, which is what the file manager returns to when the volume is chosen again.
class DriveDirectories {
  public:
    explicit DriveDirectories(std::string startDirectory, char separator = '/');

    // The volume among `roots` that holds `path`: the longest root that is `path` itself or
    // one of its ancestors; the first root when none is.
    [[nodiscard]] std::string driveOf(std::string_view path,
                                      const std::vector<std::string>& roots) const;
    // The directory last shown on the volume at `root`, or the root itself.
    [[nodiscard]] std::string directoryOf(const std::string& root) const;
    // The directory last shown on any volume; at first the start directory.
    [[nodiscard]] const std::string& currentDirectory() const { return current_; }

    // The file manager shows `directory` on the volume at `root`.
    void remember(const std::string& root, const std::string& directory);
    // Forgets what a volume showed, so that it starts at its root again.
    void forget(const std::string& root);

  private:
    [[nodiscard]] bool holds(std::string_view root, std::string_view path) const;

    char separator_;
    std::string current_;
    std::map<std::string, std::string> lastShown_;
};

// Whether a mounted volume is one an operator keeps files on, judged by its root path and
// file system type: no kernel, memory or package file systems, nothing under the system's
// own trees. "/" always counts.
[[nodiscard]] bool IsOperatorVolume(std::string_view root, std::string_view fileSystemType);

}  // namespace rq
