#pragma once

#include <string>
#include <vector>

namespace rq {

// The drive list's entries: the root paths of the mounted volumes an operator keeps files
// on, in native form (UTF-8), the file system's root first and the others sorted. On
// Windows: the drives, "C:\" and the others, in letter order.
[[nodiscard]] std::vector<std::string> MountedVolumeRoots();

}  // namespace rq
