#include "platform/ExclusiveHold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace rq {

void ExclusiveHold::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // drops the lock with it
        fd_ = -1;
    }
}

ExclusiveHold::Result ExclusiveHold::take(const std::string& path) {
    release();
    // Read access is enough to lock; O_NONBLOCK keeps a terminal's open from waiting for
    // a carrier.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::Busy : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Held;
}

}  // namespace rq
