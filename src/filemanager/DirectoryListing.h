#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rq {

// What the directory and file lists of the file manager show. Paths and names are the
// system's own bytes for them (UTF-8 where the system's names are text, as on Windows);
// names that are not valid UTF-8 stay as they are, so that they still name their file.
// Hidden entries (names starting with a dot) are left out; names are sorted without
// regard to letter case.
struct DirectoryListing {
    std::vector<std::string> names;
    // Why the directory could not be read ("" when it could), as a message box shows it.
    std::string problem;
};

[[nodiscard]] DirectoryListing ListSubdirectories(const std::string& directory);
// Files whose names match `pattern` (* and ?, letter case ignored as on the desktop).
[[nodiscard]] DirectoryListing ListMatchingFiles(const std::string& directory,
                                                 std::string_view pattern);

[[nodiscard]] bool MatchesPattern(std::string_view name, std::string_view pattern);

// The directory above `directory`; a root is its own parent.
[[nodiscard]] std::string ParentDirectory(const std::string& directory);
// `directory` when it can be read, else its nearest ancestor that can ("/" at the last).
[[nodiscard]] std::string NearestReadableDirectory(const std::string& directory);

}  // namespace rq
