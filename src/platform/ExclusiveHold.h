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
    ExclusiveHold& operator=(ExclusiveHold&& other) noexcept {
        if (this != &other) {
            release();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    ~ExclusiveHold() { release(); }

    Result take(const std::string& path);

  private:
    void release();  // one per system
    int fd_ = -1;    // the descriptor, or on Windows the mutex's handle
};

}  // namespace rq
