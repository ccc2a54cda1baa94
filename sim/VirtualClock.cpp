#include "VirtualClock.h"

namespace rq::sim {

void VirtualClock::sleepUntil(Duration deadline) {
    ++sleeps_;
    if (deadline > now_) {
        keepAlive();  // as the real clock does between its slices
        now_ = deadline;
    }
}

void VirtualClock::advance(Duration by) {
    if (by > Duration::zero()) {
        now_ += by;
    }
}

}  // namespace rq::sim
