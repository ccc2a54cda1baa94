// The communication test's rows. The window needs Qt Widgets and an application of its
// own, so rq4720-bench-testmode measures it in a process of its own and hands the figures
// over as "name value" lines.
#include <cstdio>
#include <map>
#include <string>

#include "BenchRows.h"

namespace rq::bench {

void MeasureTestMode(Table& table) {
    std::map<std::string, double> values;
    const std::string command = std::string(RQ_BENCH_TESTMODE_PATH) + " --values 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char name[64];
        double value = 0;
        while (std::fscanf(pipe, "%63s %lf", name, &value) == 2) {
            values[name] = value;
        }
        if (pclose(pipe) != 0) {
            values.clear();
        }
    }
    const char* const burst = "8. communication test: 64 KiB in one notification, median of 20";
    if (values.size() < 8) {
        table.add({burst, "rq4720-bench-testmode did not finish", "<= 10 ms", false});
        return;
    }
    const double burstMs = values["burst_median_ms"];
    table.add({burst,
               Format(burstMs, 1) + " ms (worst " + Format(values["burst_worst_ms"], 1) + ")",
               "<= 10 ms", burstMs <= 10});
    const double streamMs = values["stream_median_ms"];
    table.add({"8. a stream of 64-byte notifications, median each",
               Format(streamMs, 2) + " ms (worst " + Format(values["stream_worst_ms"], 1) +
                   ", n=" + Format(values["stream_count"], 0) + ")",
               "<= 1 ms", streamMs <= 1});
    // The area keeps only what can be seen: after the first 500 notifications the memory
    // stays where it is.
    const double growthMb = (values["stream_last_kib"] - values["stream_first_kib"]) / 1024;
    table.add({"8. peak memory over the stream, last round - first",
               Format(growthMb, 1) + " MB (" + Format(values["stream_last_kib"] / 1024, 1) + " MB)",
               "<= 1 MB", growthMb <= 1});
}

}  // namespace rq::bench
