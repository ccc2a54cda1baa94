// Measures a whole firmware update of a 32767-byte image against the simulated reader in
// real time: over USB through the simulated HID library, and over RS232 through the real
// Qt serial binding to the reader behind a pseudo-terminal. Prints the wall time of the
// update and of its data transfer, next to the RS232 wire time.
//
//   rq4720-bench-firmware [--link usb|rs232|both] [--latency-ms N]
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "PtyReader.h"
#include "SampleFirmware.h"
#include "SimulatedUsbReader.h"
#include "TimingLog.h"
#include "core/StatusLog.h"
#include "firmware/UpdateFirmware.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "support/FakeDialogs.h"
#include "support/NoDevices.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kImageLength = 32767;
// 32767 frames of 3 bytes (two out, one back) at 10 bits a byte and 57600 baud.
constexpr double kRs232WireSeconds = kImageLength * 3 * 10 / 57600.0;

struct Result {
    double total = 0;
    double transfer = 0;
    bool imageMatches = false;
    std::string lastLine;
};

Result Run(rq::HidLibrary& hid, rq::SerialPort& serial, rq::Clock& clock, const std::string& path,
           const std::function<rq::sim::Bytes()>& readerImage) {
    rq::ProgramState state;
    rq::ReaderSettings settings;
    rq::bench::TimingLog log;
    rq::testing::FakeDialogs dialogs;  // confirms the update
    rq::OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};
    state.ChosenFilePath = path;
    const Steady::time_point start = Steady::now();
    rq::UpdateFirmware(ctx);
    const Steady::time_point end = Steady::now();
    std::ifstream file(path, std::ios::binary);
    const rq::sim::Bytes expected{std::istreambuf_iterator<char>(file), {}};
    return {std::chrono::duration<double>(end - start).count(),
            std::chrono::duration<double>(end - log.transferStart).count(),
            readerImage() == expected, log.lines.empty() ? std::string() : log.lines.back()};
}

void Print(const char* link, const Result& r) {
    std::printf("%-6s total %6.2f s, data transfer %6.2f s, reader's image %s; last line: %s\n",
                link, r.total, r.transfer, r.imageMatches ? "matches the file" : "DIFFERS",
                r.lastLine.c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::string link = "both";
    rq::sim::ReaderConfig config;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--link") {
            link = argv[i + 1];
        } else if (option == "--latency-ms") {
            config.replyLatency = std::chrono::milliseconds(std::atoi(argv[i + 1]));
        }
    }
    const auto path = std::filesystem::temp_directory_path() / "rq4720-bench-firmware.bin";
    const rq::sim::Bytes image = rq::sim::MakeSampleFirmware(kImageLength, "Bench image V9.99");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));

    std::printf(
        "Firmware update of %d bytes against the simulated reader, reply latency %lld ms\n",
        kImageLength,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(config.replyLatency).count()));
    bool ok = true;
    if (link == "usb" || link == "both") {
        rq::SteadyClock clock;
        rq::sim::SimulatedUsbReader usb(clock, config);
        rq::testing::NoSerialPort serial;
        const Result r =
            Run(usb.library(), serial, clock, path.string(), [&] { return usb.reader().image(); });
        Print("USB", r);
        ok = ok && r.imageMatches;
    }
    if (link == "rs232" || link == "both") {
        rq::sim::PtyReader pty(config);
        ::setenv("RQ4720_SERIAL_PORTS", pty.slavePath().c_str(), 1);
        rq::SteadyClock clock;
        rq::testing::NoHidLibrary hid;
        rq::QtSerialPort serial;
        const Result r = Run(hid, serial, clock, path.string(), [&] {
            return pty.withReader([](rq::sim::ReaderModel& m) { return m.image(); });
        });
        Print("RS232", r);
        std::printf("       wire time of the data at 57600 baud: %.1f s\n", kRs232WireSeconds);
        ok = ok && r.imageMatches;
    }
    std::filesystem::remove(path);
    return ok ? 0 : 1;
}
