#include "TypedInput.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace rq::sim {

TypedInput::State TypedInput::state() const {
    if (closed_) {
        return State::Closed;
    }
    if (!::isatty(fd_)) {
        return State::Readable;
    }
    // A terminal that is not this program's controlling terminal (-1) stops no reader.
    const pid_t owner = ::tcgetpgrp(fd_);
    return owner == -1 || owner == ::getpgrp() ? State::Readable : State::NotNow;
}

std::vector<std::string> TypedInput::read() {
    std::array<char, 256> chunk{};
    const auto count = ::read(fd_, chunk.data(), chunk.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN ||
                      // sent to the background between the look and the read (SIGTTIN
                      // is ignored, so the read fails instead of stopping the program)
                      (errno == EIO && state() == State::NotNow))) {
        return {};
    }
    if (count <= 0) {
        closed_ = true;  // no more input: the readers keep running until stopped
        return {};
    }
    pending_.append(chunk.data(), static_cast<std::size_t>(count));
    std::vector<std::string> lines;
    for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
        lines.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
    return lines;
}

}  // namespace rq::sim
