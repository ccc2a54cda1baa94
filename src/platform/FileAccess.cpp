// The input file's reading, the same on every system; opening it and replacing a file
// are in FileAccessPosix.cpp and FileAccessWin.cpp.
#include "core/FileAccess.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace rq {

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

InputFile::~InputFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::size_t InputFile::read(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer.data(), buffer.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

}  // namespace rq
