#include "ImageCheck.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace rq::sim {

std::optional<ImageCheck> ImageCheck::Load(const std::string& path) {
    ImageCheck check;
    check.path_ = path;
    if (path.empty()) {
        return check;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    check.expected_.assign(std::istreambuf_iterator<char>(file), {});
    return check;
}

std::string ImageCheck::verdict(const Bytes& received, Duration transfer) const {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " (image frames: %.3f s)",
                  std::chrono::duration<double>(transfer).count());
    return describe(received) + seconds;
}

std::string ImageCheck::describe(const Bytes& received) const {
    const std::string length = std::to_string(received.size()) + " bytes";
    if (path_.empty()) {
        return "flash complete, " + length;
    }
    if (received == expected_) {
        return "flash complete, the image received is " + path_ + ", " + length + ", byte for byte";
    }
    std::size_t at = 0;
    while (at < received.size() && at < expected_.size() && received[at] == expected_[at]) {
        ++at;
    }
    return "flash complete, but the image received (" + length + ") differs from " + path_ + " (" +
           std::to_string(expected_.size()) + " bytes) at byte " + std::to_string(at);
}

}  // namespace rq::sim
