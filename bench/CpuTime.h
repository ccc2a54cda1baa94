#pragma once

#include <sys/resource.h>

namespace rq::bench {

// Processor time in seconds: RUSAGE_SELF for the whole process, RUSAGE_THREAD for the
// calling thread (the tool's, not an in-process simulated reader's).
inline double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace rq::bench
