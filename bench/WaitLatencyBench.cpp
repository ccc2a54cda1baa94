// Measures the serial waits on a real pseudo-terminal through the Qt binding:
// how soon WaitSerialBytes returns after its bytes arrive, and how much processor
// time a wait that times out uses (a wait must block in the OS, not spin).

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/ProgramState.h"
#include "link/OperationContext.h"
#include "link/SerialLink.h"
#include "link/UsbLink.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"
#include "support/NoDevices.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    setenv("RQ4720_SERIAL_PORTS", ptsname(master), 1);

    rq::ProgramState state;
    rq::ReaderSettings settings;
    rq::testing::FakeStatusLog log;
    rq::testing::FakeDialogs dialogs;
    rq::testing::NoHidLibrary hid;
    rq::QtSerialPort port;
    rq::SteadyClock clock;
    rq::OperationContext ctx{state, settings, log, dialogs, hid, port, clock};

    port.setCommPort(1);
    if (port.setSettings("9600,n,8,1") != rq::SerialFailure::None ||
        port.open() != rq::SerialFailure::None) {
        std::fprintf(stderr, "cannot open %s\n", ptsname(master));
        return 1;
    }

    // Latency: a second thread writes the awaited 6 bytes after a varying pause.
    constexpr int kRounds = 200;
    std::vector<double> latencyMs;
    latencyMs.reserve(kRounds);
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point written;
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(2000 + (round % 7) * 1300));
            const unsigned char ack[6] = {27, 29, 0, 16, 1, 170};
            written = Clock::now();
            if (write(master, ack, sizeof ack) != static_cast<ssize_t>(sizeof ack)) {
                std::perror("write");
            }
        });
        rq::WaitSerialBytes(ctx, 6, 1.0);
        const Clock::time_point returned = Clock::now();
        writer.join();
        if (state.SerialReplyReceived != 1) {
            std::fprintf(stderr, "round %d: the bytes were not taken\n", round);
            return 1;
        }
        if (std::getenv("RQ_BENCH_VERBOSE") != nullptr) {
            std::fprintf(stderr, "%d %.3f\n", round,
                         std::chrono::duration<double, std::milli>(returned - written).count());
        }
        latencyMs.push_back(std::chrono::duration<double, std::milli>(returned - written).count());
    }

    // Idle: a 1-second wait that times out must leave the processor alone.
    const double cpuBefore = CpuSeconds();
    const Clock::time_point idleStart = Clock::now();
    rq::WaitSerialBytes(ctx, 6, 1.0);
    const double idleWall = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleCpu = CpuSeconds() - cpuBefore;

    const double cpuBeforeDelay = CpuSeconds();
    rq::delay(ctx, 1);
    const double delayCpu = CpuSeconds() - cpuBeforeDelay;

    std::printf("WaitSerialBytes, 6 bytes over a pseudo-terminal, %d rounds:\n", kRounds);
    std::printf("  return after arrival: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.99),
                Percentile(latencyMs, 1.0));
    const auto late =
        std::count_if(latencyMs.begin(), latencyMs.end(), [](double ms) { return ms >= 1.0; });
    std::printf("  rounds that took 1 ms or more: %ld (the machine's load shows here)\n",
                static_cast<long>(late));
    std::printf("  1.0 s timeout: took %.4f s, processor time %.2f ms (%.2f%% of one core)\n",
                idleWall, idleCpu * 1000, 100.0 * idleCpu / idleWall);
    std::printf("delay 1 s: processor time %.2f ms\n", delayCpu * 1000);

    port.close();
    close(master);
    const bool ok = Percentile(latencyMs, 0.9) < 1.0 && idleCpu < 0.05 && delayCpu < 0.05;
    std::printf("%s: waits end within 1 ms of their condition and do not spin\n",
                ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
