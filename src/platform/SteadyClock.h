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

    // Longest time spent in the OS between two hook calls.
    static constexpr Duration kSlice = std::chrono::milliseconds(15);

  private:
    std::function<void()> hook_;
};

}  // namespace rq
