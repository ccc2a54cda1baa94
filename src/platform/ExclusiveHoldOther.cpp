// Systems without a hold of their own yet: every take succeeds, as before holds existed.
#include "platform/ExclusiveHold.h"

namespace rq {

void ExclusiveHold::release() {}

ExclusiveHold::Result ExclusiveHold::take(const std::string& /*path*/) {
    return Result::Held;
}

}  // namespace rq
