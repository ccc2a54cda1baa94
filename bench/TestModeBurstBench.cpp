// Measures how long the communication test keeps the window from answering: a burst of
// 64 KiB handled in one receive notification, and a stream that never stops (time per
// notification and the process's memory after each round, which must level off).
// The main window runs offscreen over an in-memory serial port.
//
// Arguments choose the parts (burst, stream; both by default). With --values the figures
// come as "name value" lines for rq4720-bench, which puts them into its table.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "app/Form1.h"
#include "app/StatusLogWidget.h"
#include "platform/SteadyClock.h"
#include "support/FakeDialogs.h"
#include "support/NoDevices.h"
#include "support/StreamSerialPort.h"

namespace {

long MaxResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<std::uint8_t> Bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 1);  // every value, controls included
    }
    return bytes;
}

// Milliseconds from the notification until the window has handled it and painted what
// it drew (the event loop's next round).
double Notify(rq::testing::StreamSerialPort& port) {
    QElapsedTimer timer;
    timer.start();
    port.notify();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    bool values = false;
    bool burst = false;
    bool stream = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        values = values || a == "--values";
        burst = burst || a == "burst";
        stream = stream || a == "stream";
    }
    if (!burst && !stream) {
        burst = stream = true;
    }

    auto ownedPort = std::make_unique<rq::testing::StreamSerialPort>();
    rq::testing::StreamSerialPort& port = *ownedPort;
    rq::app::Form1 window({std::make_unique<rq::testing::NoHidLibrary>(), std::move(ownedPort),
                           std::make_unique<rq::SteadyClock>()},
                          std::make_unique<rq::testing::FakeDialogs>());
    window.show();
    QApplication::processEvents();
    window.state().LinkStatus = rq::LinkState::Test232;  // as "Start Test" leaves it

    if (burst) {
        std::vector<double> bursts;
        for (int round = 0; round < 20; ++round) {
            port.queue(Bytes(64 * 1024));
            bursts.push_back(Notify(port));
        }
        std::sort(bursts.begin(), bursts.end());
        if (values) {
            std::printf("burst_median_ms %.3f\nburst_worst_ms %.3f\n", bursts[bursts.size() / 2],
                        bursts.back());
        } else {
            std::printf("64 KiB in one notification: median %.1f ms, worst %.1f ms (20 rounds)\n",
                        bursts[bursts.size() / 2], bursts.back());
        }
    }
    if (!stream) {
        return 0;
    }

    // A stream that never stops: rounds of notifications of 64 bytes each; the peak
    // memory is noted after the first, the middle and the last round.
    constexpr int kRounds = 40;
    constexpr int kPerRound = 500;
    // Filled in place: the bench's own memory is all there from the start.
    std::vector<double> times(kRounds * kPerRound);
    std::size_t taken = 0;
    std::vector<long> peakKiB;
    for (int round = 1; round <= kRounds; ++round) {
        for (int i = 0; i < kPerRound; ++i) {
            port.queue(Bytes(64));
            times[taken++] = Notify(port);
        }
        if (round == 1 || round == kRounds / 2 || round == kRounds) {
            peakKiB.push_back(MaxResidentKiB());
        }
    }
    std::sort(times.begin(), times.end());
    if (values) {
        std::printf(
            "stream_median_ms %.4f\nstream_worst_ms %.3f\nstream_count %d\n"
            "stream_first_kib %ld\nstream_middle_kib %ld\nstream_last_kib %ld\n",
            times[times.size() / 2], times.back(), kRounds * kPerRound, peakKiB[0], peakKiB[1],
            peakKiB[2]);
    } else {
        std::printf(
            "stream of %d notifications of 64 bytes: median %.2f ms, worst %.2f ms each; "
            "peak memory %ld, %ld, %ld KiB after the first, middle and last round\n",
            kRounds * kPerRound, times[times.size() / 2], times.back(), peakKiB[0], peakKiB[1],
            peakKiB[2]);
    }
    return 0;
}
