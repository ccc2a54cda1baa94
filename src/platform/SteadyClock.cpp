#include "platform/SteadyClock.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace rq {

SteadyClock::SteadyClock(std::function<void()> hook) : hook_(std::move(hook)) {}

Clock::Duration SteadyClock::now() const {
    return std::chrono::duration_cast<Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::sleepUntil(Duration deadline) {
    for (Duration current = now(); current < deadline; current = now()) {
        keepAlive();
        const Duration left = deadline - now();
        if (left <= Duration::zero()) {
            break;
        }
        std::this_thread::sleep_for(std::min(left, kSlice));
    }
}

void SteadyClock::keepAlive() {
    if (!hook_) {
        return;
    }
    const Duration current = now();
    if (lastHook_ != Duration::min() && current - lastHook_ < kHookInterval) {
        return;
    }
    lastHook_ = current;
    hook_();
}

}  // namespace rq
