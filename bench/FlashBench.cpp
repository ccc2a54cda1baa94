// The firmware transfer, the part of an update that grows with the image: 32767 bytes
// against the simulated reader in real time, timed from the "Total ... Writing:" line to
// the end of the update. Over RS232 through the real Qt binding and the pseudo-terminal
// reader, which paces every byte at the wire time of 57600 baud (or not at all, to
// measure the tool's turnaround), each flash in turn with the null flasher's; over USB
// through the simulated HID library in 1 ms interrupt frames.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchRows.h"
#include "NullFlasher.h"
#include "PtyReader.h"
#include "SampleFirmware.h"
#include "SimulatedUsbReader.h"
#include "TimingLog.h"
#include "TwoProcessors.h"
#include "firmware/UpdateFirmware.h"

namespace rq::bench {
namespace {

using sim::Duration;

constexpr int kImageLength = 32767;
// Each data frame: 2 bytes out, 1 back, 10 bits a byte.
constexpr double kWireSeconds = kImageLength * 3 * 10 / 57600.0;
// Each 6-byte block: an output report and an input report, a 1 ms frame each.
constexpr double kUsbLimitSeconds = (kImageLength + 5) / 6 * 2e-3;

struct Transfer {
    double seconds = 0;
    double wholeSeconds = 0;       // the whole update: search, erase, reconnect, transfer
    double readerLateSeconds = 0;  // the simulated reader's own wake-up delays
    double cpuShare = 0;           // percent of one core, the tool's thread
    bool ok = false;
};

Transfer Flash(HidLibrary& hid, SerialPort& serial, const std::string& path,
               const sim::Bytes& image, const std::function<sim::Bytes()>& readerImage) {
    ProgramState state;
    ReaderSettings settings;
    TimingLog log;
    testing::FakeDialogs dialogs;  // confirms the update
    SteadyClock clock{[] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers);
    }};
    OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};
    state.ChosenFilePath = path;
    const Steady::time_point start = Steady::now();
    UpdateFirmware(ctx);
    const Steady::time_point end = Steady::now();
    const double wall = std::chrono::duration<double>(end - log.transferStart).count();
    const double cpu = CpuSeconds(RUSAGE_THREAD) - log.transferStartCpu;
    return {wall, std::chrono::duration<double>(end - start).count(), 0, 100.0 * cpu / wall,
            readerImage() == image};
}

double Us(sim::Duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// The turnarounds of one flash in microseconds, and their median.
struct Turnarounds {
    std::vector<double> us;
    double median = 0;
    explicit Turnarounds(const std::vector<sim::Duration>& taken) {
        us.reserve(taken.size());
        for (const sim::Duration d : taken) {
            us.push_back(Us(d));
        }
        median = SpreadOf(us).median;
    }
};

std::string Seconds(const std::vector<double>& values) {
    return Format(SpreadOf(values).median, 2) + " s";
}

std::string MedianAndP99(const std::vector<double>& us) {
    const Spread s = SpreadOf(us);
    return Format(s.median, 1) + " us (p99 " + Format(s.p99, 0) + ")";
}

// Runs both, the tool first in even turns and the null program first in odd ones, so that
// a load rising or falling through a run favours neither.
template <typename Tool, typename Null>
auto InTurn(int turn, Tool&& tool, Null&& null) {
    std::pair<decltype(tool()), decltype(null())> both;
    if (turn % 2 == 1) {
        both.second = null();
    }
    both.first = tool();
    if (turn % 2 == 0) {
        both.second = null();
    }
    return both;
}

}  // namespace

// Rows 1 and 2 compare the tool with the null flasher, run in turn against readers set up
// alike, so that whatever else loads the machine at the moment falls on both.
void MeasureFlash(Table& table, int runs) {
    const sim::Bytes image = sim::MakeSampleFirmware(kImageLength, "Bench image V9.99");
    // Of this process: other checkouts may run the bench at the same time.
    const auto path = std::filesystem::temp_directory_path() /
                      ("rq4720-bench-flash-" + std::to_string(getpid()) + ".bin");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));

    const auto readerConfig = [](bool lineTime) {
        sim::ReaderConfig config;
        config.replyLatency = Duration{};
        config.lineTime = lineTime;
        return config;
    };
    const auto tool = [&](bool lineTime, std::vector<Duration>* turnarounds) {
        TwoProcessors pin;
        pin.forReader();
        sim::PtyReader reader(readerConfig(lineTime));
        pin.forProgram();
        setenv("RQ4720_SERIAL_PORTS", reader.slavePath().c_str(), 1);
        reader.recordTurnarounds();
        testing::NoHidLibrary hid;
        QtSerialPort serial;
        Transfer t = Flash(hid, serial, path.string(), image, [&] {
            return reader.withReader([](sim::ReaderModel& m) { return m.image(); });
        });
        t.readerLateSeconds = std::chrono::duration<double>(reader.lateness()).count();
        if (turnarounds != nullptr) {
            *turnarounds = reader.takeTurnarounds();
        }
        return t;
    };
    const auto null = [&](bool lineTime) {
        TwoProcessors pin;
        pin.forReader();
        sim::PtyReader reader(NullFlasherReader(readerConfig(lineTime)));
        pin.forProgram();
        return RunNullFlasher(reader, image);
    };

    std::vector<double> pacedRatio, pacedTool, pacedNull;
    std::vector<double> lateToolUs, lateNullUs;  // the reader's own delay, a byte
    std::vector<double> pacedCpu, pacedNullCpu;
    std::vector<double> turnaroundExcess, turnaroundTool, turnaroundNull;
    std::vector<double> usb, wholeRs232, wholeUsb;
    bool allOk = true;
    for (int run = 0; run < runs; ++run) {
        const auto [p, pn] = InTurn(
            run, [&] { return tool(true, nullptr); }, [&] { return null(true); });
        pacedTool.push_back(p.seconds);
        pacedNull.push_back(pn.seconds);
        pacedRatio.push_back(p.seconds / pn.seconds);
        lateToolUs.push_back(p.readerLateSeconds * 1e6 / kImageLength);
        lateNullUs.push_back(Us(pn.readerLate) / kImageLength);
        wholeRs232.push_back(p.wholeSeconds);
        pacedCpu.push_back(p.cpuShare);
        pacedNullCpu.push_back(pn.cpuShare);

        // The unpaced flashes are short: two pairs a run.
        for (int pair = 0; pair < 2; ++pair) {
            std::vector<Duration> taken;
            const auto [u, un] = InTurn(
                2 * run + pair, [&] { return tool(false, &taken); }, [&] { return null(false); });
            const Turnarounds ut(taken);
            const Turnarounds nt(un.turnarounds);
            turnaroundExcess.push_back(ut.median - nt.median);
            turnaroundTool.insert(turnaroundTool.end(), ut.us.begin(), ut.us.end());
            turnaroundNull.insert(turnaroundNull.end(), nt.us.begin(), nt.us.end());
            allOk = allOk && u.ok && un.ok;
        }

        SteadyClock clock;
        sim::ReaderConfig config = readerConfig(true);
        sim::SimulatedUsbReader reader(clock, config);
        reader.simLibrary().setInterruptInterval(std::chrono::milliseconds(1));
        testing::NoSerialPort serial;
        const Transfer b = Flash(reader.library(), serial, path.string(), image,
                                 [&] { return reader.reader().image(); });
        usb.push_back(b.seconds / kUsbLimitSeconds);
        wholeUsb.push_back(b.wholeSeconds);
        allOk = allOk && p.ok && pn.ok && b.ok;
    }
    std::filesystem::remove(path);
    if (!allOk) {
        table.add({"1-3. firmware transfers", "a reader's image differs from the file", "identical",
                   false});
    }
    table.addAtMost("1. RS232 flash, paced at 57600 baud: tool / null flasher", pacedRatio, 1.03,
                    "", 3);
    table.note(
        "1. (tool / null flasher / wire time)",
        Seconds(pacedTool) + " / " + Seconds(pacedNull) + " / " + Format(kWireSeconds, 2) + " s");
    table.note("1. (the simulated reader's own lateness a byte, tool / null flasher)",
               Format(SpreadOf(lateToolUs).median, 1) + " us / " +
                   Format(SpreadOf(lateNullUs).median, 1) + " us");
    // What the tool itself adds (the window hook, the port object); the hook on every pass
    // of a wait, as it once ran, added 2 to 3 %.
    const double cpuExcess = SpreadOf(pacedCpu).median - SpreadOf(pacedNullCpu).median;
    table.add({"1. processor time during the paced flash, tool - null flasher",
               Format(cpuExcess, 1) + " % of a core (" + Format(SpreadOf(pacedCpu).median, 1) +
                   " / " + Format(SpreadOf(pacedNullCpu).median, 1) + " %)",
               "<= 1.5 %", cpuExcess <= 1.5});
    table.addAtMost("2. RS232 flash unpaced: reader's answer to the next frame, tool - null",
                    turnaroundExcess, 10, " us", 1);
    table.note("2. (tool / null flasher, median of all frames)",
               MedianAndP99(turnaroundTool) + " / " + MedianAndP99(turnaroundNull));
    table.addAtMost(
        "3. USB flash, 1 ms frames: time / frame limit (" + Format(kUsbLimitSeconds, 2) + " s)",
        usb, 1.02, "", 3);
    // For people: the whole update as the operator sees it, reboot waits included.
    table.addAtMost("(whole 32767-byte update over RS232, paced)", wholeRs232, 60, " s", 1);
    table.addAtMost("(whole 32767-byte update over USB, 1 ms frames)", wholeUsb, 60, " s", 1);
}

}  // namespace rq::bench
