// The waits through the real Qt binding on a pseudo-terminal: how soon WaitSerialBytes
// returns after its last byte arrives, and the processor time of waits that time out.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "BenchRows.h"
#include "CpuTime.h"
#include "Pty.h"
#include "PtyReader.h"
#include "link/SerialLink.h"

namespace rq::bench {
namespace {

using Steady = std::chrono::steady_clock;

// Processor time of `work` as a share of one core, in percent.
template <typename Work>
double CpuShare(Work&& work) {
    const double cpu = CpuSeconds();
    const Steady::time_point start = Steady::now();
    work();
    const double wall = std::chrono::duration<double>(Steady::now() - start).count();
    return 100.0 * (CpuSeconds() - cpu) / wall;
}

// One round: a second thread writes 6 bytes to the terminal after `pause` while `await`
// waits for them; the time from the write to await's return in microseconds, none when
// await does not return true.
template <typename Await>
std::optional<double> LatencyRoundUs(int masterFd, std::chrono::microseconds pause, Await&& await) {
    Steady::time_point written;
    std::thread writer([&] {
        std::this_thread::sleep_for(pause);
        const unsigned char ack[6] = {27, 29, 0, 16, 1, 170};
        written = Steady::now();
        if (write(masterFd, ack, sizeof ack) != static_cast<ssize_t>(sizeof ack)) {
            std::perror("write");
        }
    });
    const bool got = await();
    const Steady::time_point returned = Steady::now();
    writer.join();
    if (!got) {
        return std::nullopt;
    }
    return std::chrono::duration<double, std::micro>(returned - written).count();
}

// The null waiter: nothing but poll and read on a terminal of its own, what the kernel
// and the scheduler cost, so that the tool's share of the latency can be told apart.
class NullWaiter {
  public:
    NullWaiter() : slave_(open(pty_.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios raw{};
        tcgetattr(slave_.get(), &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_.get(), TCSANOW, &raw);
    }
    [[nodiscard]] int master() const { return pty_.master(); }
    bool operator()() const {
        std::size_t got = 0;
        unsigned char buffer[64];
        while (got < 6) {
            pollfd pfd{slave_.get(), POLLIN, 0};
            if (poll(&pfd, 1, 1000) != 1) {
                return false;
            }
            const ssize_t n = read(slave_.get(), buffer, sizeof buffer);
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        return true;
    }

  private:
    Pty pty_;
    sim::UniqueFd slave_;
};

// The tool's rig with its serial port open on `pty`; false (and a skipped row) when the
// port does not open.
bool OpenOn(const Pty& pty, ToolRig& rig, Table& table, const std::string& what) {
    rig.serial.setCommPort(1);
    if (rig.serial.setSettings("57600,n,8,1") != SerialFailure::None ||
        rig.serial.open() != SerialFailure::None) {
        table.skip(what, "cannot open " + pty.path(), "");
        return false;
    }
    return true;
}

}  // namespace

void MeasureWaits(Table& table, int /*runs*/) {
    Pty pty;
    setenv("RQ4720_SERIAL_PORTS", pty.path().c_str(), 1);
    ToolRig rig;
    if (!OpenOn(pty, rig, table, "5. WaitSerialBytes")) {
        return;
    }

    // Tool and null waiter take turns, with the same pauses and each first in every other
    // round, so that both see the same load of the moment.
    constexpr int kRounds = 1000;
    NullWaiter nullWaiter;
    std::vector<double> latencyUs;
    std::vector<double> nullUs;
    for (int round = 0; round < kRounds; ++round) {
        const std::chrono::microseconds pause(1000 + (round % 7) * 700);
        const auto nullRound = [&] {
            if (const auto us = LatencyRoundUs(nullWaiter.master(), pause, nullWaiter)) {
                nullUs.push_back(*us);
            }
        };
        if (round % 2 == 1) {
            nullRound();
        }
        if (const auto us = LatencyRoundUs(pty.master(), pause, [&] {
                (void)WaitSerialBytes(rig.ctx, 6, 1.0);
                return rig.state.SerialReplyReceived == 1;
            })) {
            latencyUs.push_back(*us);
        }
        if (round % 2 == 0) {
            nullRound();
        }
    }
    const Spread latency = SpreadOf(latencyUs);
    const Spread null = SpreadOf(nullUs);
    table.add({"5. WaitSerialBytes: last byte to return, median, tool - null waiter",
               Format(latency.median - null.median, 1) + " us", "<= 15 us",
               latency.median - null.median <= 15});
    table.note("5. (tool / null waiter, median)",
               Format(latency.median, 0) + " us / " + Format(null.median, 0) + " us");
    // A stall of the tool shows in the tail; the machine's own tail is the null waiter's.
    table.add({"5. WaitSerialBytes: last byte to return, 99th percentile, tool - null",
               Format(latency.p99 - null.p99, 0) + " us (" + Format(latency.p99, 0) + " / " +
                   Format(null.p99, 0) + " us, " + std::to_string(latencyUs.size()) + " of " +
                   std::to_string(kRounds) + " returned)",
               "<= 1000 us", latency.p99 - null.p99 <= 1000 && latencyUs.size() == kRounds});
    rig.serial.close();
}

void MeasureIdle(Table& table, int runs) {
    Pty pty;
    setenv("RQ4720_SERIAL_PORTS", pty.path().c_str(), 1);
    ToolRig rig;
    if (!OpenOn(pty, rig, table, "4. processor time")) {
        return;
    }
    // The machine's share beside them: a thread that only sleeps in the clock's slices.
    // What a wake-up costs varies several times over with the load of the host.
    const auto nullSleeper = [] {
        const Steady::time_point end = Steady::now() + std::chrono::seconds(1);
        while (Steady::now() < end) {
            std::this_thread::sleep_for(SteadyClock::kSlice);
        }
    };
    std::vector<double> delayShare;
    std::vector<double> timeoutShare;
    std::vector<double> nullShare;
    for (int run = 0; run < runs; ++run) {
        delayShare.push_back(CpuShare([&] { delay(rig.ctx, 6); }));
        nullShare.push_back(CpuShare(nullSleeper));
        timeoutShare.push_back(CpuShare([&] { (void)WaitSerialBytes(rig.ctx, 6, 1.0); }));
    }
    table.addAtMost("4. processor time during delay 6 s (share of a core)", delayShare, 0.5, " %",
                    2);
    table.addAtMost("4. processor time during a 1 s WaitSerialBytes timeout", timeoutShare, 0.5,
                    " %", 2);
    table.note("4. (a thread that only sleeps in the same slices)",
               Format(SpreadOf(nullShare).median, 2) + " %");
    rig.serial.close();
}

void MeasureSearches(Table& table, int runs) {
    std::vector<double> emptyMs;
    setenv("RQ4720_SERIAL_PORTS", "", 1);
    for (int run = 0; run < runs; ++run) {
        ToolRig rig;
        const Steady::time_point start = Steady::now();
        SearchSerialReader(rig.ctx);
        emptyMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
    }
    table.addAtMost("6. serial search, no ports mapped", emptyMs, 50, " ms", 1);

    std::vector<std::unique_ptr<Pty>> ptys;
    std::string paths;
    for (int i = 0; i < 16; ++i) {
        ptys.push_back(std::make_unique<Pty>());
        paths += (i == 0 ? "" : ":") + ptys.back()->path();
    }
    setenv("RQ4720_SERIAL_PORTS", paths.c_str(), 1);
    std::vector<double> silentS;
    for (int run = 0; run < runs; ++run) {
        ToolRig rig;
        const Steady::time_point start = Steady::now();
        SearchSerialReader(rig.ctx);
        silentS.push_back(std::chrono::duration<double>(Steady::now() - start).count());
    }
    table.addAtMost("6. serial search, 16 silent ports (64 x 0.2 s = 12.8 s)", silentS,
                    64 * 0.2 * 1.02, " s", 3);
}

}  // namespace rq::bench
