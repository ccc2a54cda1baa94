// The waits through the real Qt binding on a pseudo-terminal: how soon WaitSerialBytes
// returns after its last byte arrives, and the processor time of waits that time out.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchRows.h"
#include "CpuTime.h"
#include "Pty.h"
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

// Rounds of: a second thread writes 6 bytes to the terminal after a varying pause while
// `await` waits for them; the time from the write to await's return, in microseconds.
// Rounds where await does not return true are left out.
template <typename Await>
std::vector<double> LatencyRoundsUs(int masterFd, int rounds, Await&& await) {
    std::vector<double> latencyUs;
    for (int round = 0; round < rounds; ++round) {
        Steady::time_point written;
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + (round % 7) * 700));
            const unsigned char ack[6] = {27, 29, 0, 16, 1, 170};
            written = Steady::now();
            if (write(masterFd, ack, sizeof ack) != static_cast<ssize_t>(sizeof ack)) {
                std::perror("write");
            }
        });
        const bool got = await();
        const Steady::time_point returned = Steady::now();
        writer.join();
        if (got) {
            latencyUs.push_back(
                std::chrono::duration<double, std::micro>(returned - written).count());
        }
    }
    return latencyUs;
}

// The same rounds with nothing but ppoll and read on the terminal: what the kernel and
// the scheduler cost, so that the tool's share of the latency can be told apart.
std::vector<double> BaselineLatencyUs(int rounds) {
    Pty pty;
    const int slave = open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    const std::vector<double> latencyUs = LatencyRoundsUs(pty.master(), rounds, [&] {
        std::size_t got = 0;
        unsigned char buffer[64];
        while (got < 6) {
            pollfd pfd{slave, POLLIN, 0};
            (void)poll(&pfd, 1, 1000);
            const ssize_t n = read(slave, buffer, sizeof buffer);
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        return true;
    });
    close(slave);
    return latencyUs;
}

}  // namespace

void MeasureWaits(Table& table, int runs) {
    Pty pty;
    setenv("RQ4720_SERIAL_PORTS", pty.path().c_str(), 1);
    ToolRig rig;
    rig.serial.setCommPort(1);
    if (rig.serial.setSettings("57600,n,8,1") != SerialFailure::None ||
        rig.serial.open() != SerialFailure::None) {
        table.skip("WaitSerialBytes", "cannot open " + pty.path(), "");
        return;
    }

    constexpr int kRounds = 300;
    const std::vector<double> latencyUs = LatencyRoundsUs(pty.master(), kRounds, [&] {
        (void)WaitSerialBytes(rig.ctx, 6, 1.0);
        return rig.state.SerialReplyReceived == 1;
    });
    const Spread latency = SpreadOf(latencyUs);
    const Spread baseline = SpreadOf(BaselineLatencyUs(kRounds));
    table.addAtMost("5. WaitSerialBytes: last byte to return, median", latencyUs, 50, " us", 0);
    table.add({"5. WaitSerialBytes: last byte to return, 99th percentile",
               Format(latency.p99, 0) + " us (of " + std::to_string(latencyUs.size()) + ")",
               "<= 1000 us", latency.p99 <= 1000 && latencyUs.size() == kRounds});
    table.add({"5. (the same with only poll and read: the terminal's own share)",
               Format(baseline.median, 0) + " us, p99 " + Format(baseline.p99, 0) + " us",
               "for comparison", true});

    std::vector<double> delayShare;
    std::vector<double> timeoutShare;
    for (int run = 0; run < runs; ++run) {
        delayShare.push_back(CpuShare([&] { delay(rig.ctx, 6); }));
        timeoutShare.push_back(CpuShare([&] { (void)WaitSerialBytes(rig.ctx, 6, 1.0); }));
    }
    table.addAtMost("4. processor time during delay 6 s (share of a core)", delayShare, 1.0, " %",
                    2);
    table.addAtMost("4. processor time during a 1 s WaitSerialBytes timeout", timeoutShare, 1.0,
                    " %", 2);
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
