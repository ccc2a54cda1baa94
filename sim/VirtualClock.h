#pragma once

#include "core/Clock.h"

namespace rq::sim {

// Time that passes only when someone waits: a wait moves the clock to its deadline at
// once, so tests of long waits run in microseconds. Single-threaded.
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(Duration start = Duration::zero()) : now_(start) {}

    [[nodiscard]] Duration now() const override { return now_; }
    void sleepUntil(Duration deadline) override;
    // Counted; sleepUntil calls it once when time moves, as the real clock does.
    void keepAlive() override { ++keepAlives_; }

    // Lets time pass without anyone waiting (the operator pauses, a test moves on).
    void advance(Duration by);

    [[nodiscard]] int keepAlives() const { return keepAlives_; }
    [[nodiscard]] int sleeps() const { return sleeps_; }

  private:
    Duration now_;
    int keepAlives_ = 0;
    int sleeps_ = 0;
};

}  // namespace rq::sim
