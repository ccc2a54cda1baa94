#pragma once

#include <functional>

#include "core/Clock.h"

namespace rq {

// The real clock: std::chrono::steady_clock, sleeping in slices short enough for the
// window to stay painted, with the hook run between slices.
class SteadyClock final : public Clock {
  public:
    // The hook keeps the window alive during waits; empty when there is no window.
    explicit SteadyClock(std::function<void()> hook = {});

    [[nodiscard]] Duration now() const override;
    void sleepUntil(Duration deadline) override;
    void keepAlive() override;

    // Longest time spent in the OS between two hook calls: 25 times a second, so a window
    // uncovered during a wait is drawn again without a lag one would notice. Each slice
    // wakes the thread, and a wake-up is what an idle wait costs: a virtual machine
    // spends 20 to 100 us of processor time on one.
    static constexpr Duration kSlice = std::chrono::milliseconds(40);
    // The hook runs at most this often: a wait that loops quickly (a flash exchanges a
    // byte every few hundred microseconds) would otherwise spend its time in the event
    // loop. Still well over the display's frame rate.
    static constexpr Duration kHookInterval = std::chrono::milliseconds(4);

  private:
    std::function<void()> hook_;
    Duration lastHook_ = Duration::min();
};

}  // namespace rq
