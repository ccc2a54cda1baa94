#pragma once

// Puts the simulated reader's thread and the program that drives it on two processors of
// their own, the same two for every flash, and gives the old affinity back at the end.
// Left to the scheduler, the two threads share a core in one flash and not in the next,
// and a round trip takes 17 or 65 us depending on it, which would drown the tool's
// share. Sharing one core on purpose is no better: whatever the program does after
// sending a frame then holds up the reader, where a real reader works on the frame
// meanwhile.
#include <sched.h>

namespace rq::bench {

class TwoProcessors {
  public:
    TwoProcessors() {
        if (sched_getaffinity(0, sizeof old_, &old_) != 0 || CPU_COUNT(&old_) < 2) {
            return;
        }
        int found = 0;
        for (int cpu = 0; cpu < CPU_SETSIZE && found < 2; ++cpu) {
            if (CPU_ISSET(cpu, &old_)) {
                cpus_[found++] = cpu;
            }
        }
        pinned_ = true;
    }
    ~TwoProcessors() {
        if (pinned_) {
            sched_setaffinity(0, sizeof old_, &old_);
        }
    }
    TwoProcessors(const TwoProcessors&) = delete;
    TwoProcessors& operator=(const TwoProcessors&) = delete;

    // Threads started from now on run where the reader belongs.
    void forReader() { pin(cpus_[1]); }
    // The calling thread runs where the program belongs.
    void forProgram() { pin(cpus_[0]); }

  private:
    void pin(int cpu) {
        if (!pinned_) {
            return;
        }
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        sched_setaffinity(0, sizeof one, &one);
    }

    cpu_set_t old_{};
    int cpus_[2] = {0, 0};
    bool pinned_ = false;
};

}  // namespace rq::bench
