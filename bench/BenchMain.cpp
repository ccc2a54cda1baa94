// `make bench`: what the operator waits for, as one table. Each figure is the median of
// several runs with their spread; the machine is shared, so ratios say more than times.
// RQ_BENCH_RUNS sets the runs per figure (default 3); arguments choose groups of rows
// (flash, waits, idle, searches, startup, testmode), all by default.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "BenchRows.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const char* runsText = std::getenv("RQ_BENCH_RUNS");
    const int runs = runsText != nullptr ? std::max(1, std::atoi(runsText)) : 3;

    const auto chosen = [&](std::string_view group) {
        if (argc <= 1) {
            return true;
        }
        return std::any_of(argv + 1, argv + argc, [&](const char* a) { return a == group; });
    };

    rq::bench::Table table;
    std::fprintf(stderr, "measuring (%d runs per figure)...\n", runs);
    if (chosen("flash")) {
        rq::bench::MeasureFlash(table, runs);
    }
    if (chosen("waits")) {
        rq::bench::MeasureWaits(table, runs);
    }
    if (chosen("idle")) {
        rq::bench::MeasureIdle(table, runs);
    }
    if (chosen("searches")) {
        rq::bench::MeasureSearches(table, runs);
    }
    if (chosen("startup")) {
        rq::bench::MeasureStartup(table, runs + 2);
    }
    if (chosen("testmode")) {
        rq::bench::MeasureTestMode(table);
    }
    return table.print() ? 0 : 1;
}
