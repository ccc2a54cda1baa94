#pragma once

// Keeps the calling thread, and the threads it starts meanwhile, on the processor it runs
// on now; the old affinity comes back at the end of the scope.
#include <sched.h>

namespace rq::bench {

class OneProcessor {
  public:
    OneProcessor() {
        const int cpu = sched_getcpu();
        if (cpu < 0 || sched_getaffinity(0, sizeof old_, &old_) != 0) {
            return;
        }
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pinned_ = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneProcessor() {
        if (pinned_) {
            sched_setaffinity(0, sizeof old_, &old_);
        }
    }
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;

  private:
    cpu_set_t old_{};
    bool pinned_ = false;
};

}  // namespace rq::bench
