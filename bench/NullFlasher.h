#pragma once

// The null flasher: the least any program can do for an RS232 flash. Per image byte it
// writes the 2-byte frame to the terminal with plain write, waits for the 1-byte answer
// with poll and reads it; no event loop, no port object, no log. Against the same
// simulated reader as the tool it gives the machine's floor, so the bench can tell the
// tool's own cost from the terminal's and the scheduler's.
#include <vector>

#include "PtyReader.h"
#include "SimTypes.h"

namespace rq::bench {

struct NullFlash {
    double seconds = 0;   // first data frame sent to the end-of-image frame answered
    double cpuShare = 0;  // percent of one core, the flashing thread
    std::vector<sim::Duration> turnarounds;
    sim::Duration readerLate{};
    bool ok = false;  // every frame acknowledged and the reader holds the image
};

// A reader for the null flasher: `config` with a short reboot, as the set-up is not timed.
[[nodiscard]] sim::ReaderConfig NullFlasherReader(sim::ReaderConfig config);
// Erases `reader` and brings it to flash mode (not timed), then sends `image`.
[[nodiscard]] NullFlash RunNullFlasher(sim::PtyReader& reader, const sim::Bytes& image);

}  // namespace rq::bench
