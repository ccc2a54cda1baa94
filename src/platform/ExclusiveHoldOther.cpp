// Systems without a hold of their own yet: every take succeeds, as before holds existed.
#include "platform/ExclusiveHold.h"

namespace rq {

ExclusiveHold& ExclusiveHold::operator=(ExclusiveHold&& other) noexcept {
    fd_ = std::exchange(other.fd_, -1);
    return *this;
}

ExclusiveHold::~ExclusiveHold() = default;

void ExclusiveHold::release() {}

ExclusiveHold::Result ExclusiveHold::take(const std::string& /*path*/) {
    return Result::Held;
}

}  // namespace rq
