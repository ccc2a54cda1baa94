#pragma once

#include <string>
#include <utility>

namespace rq {

// Keeps a device node to this program while it lives, so that two copies of the tool
// (or the window and the command line) never interleave their reports on one reader.
// On Linux an flock on a descriptor of its own: every copy takes it, root included.
class ExclusiveHold {
  public:
    enum class Result {
        Held,         // ours until destroyed
        Busy,         // another program holds it
        Unavailable,  // the node cannot be opened to hold it; the open proper says why
    };

    ExclusiveHold() = default;
    ExclusiveHold(ExclusiveHold&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ExclusiveHold& operator=(ExclusiveHold&& other) noexcept;
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    ~ExclusiveHold();

    Result take(const std::string& path);

  private:
    void release();
    int fd_ = -1;
};

}  // namespace rq
