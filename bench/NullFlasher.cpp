#include "NullFlasher.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <span>
#include <thread>

#include "CpuTime.h"
#include "firmware/FlashFrames.h"

namespace rq::bench {
namespace {

using Steady = std::chrono::steady_clock;

class NullPort {
  public:
    explicit NullPort(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

    [[nodiscard]] bool open() const { return fd_.get() >= 0; }

    // The reader hears only what is sent at its rate, which it reads off the terminal.
    bool setBaud(int baud) const {
        const speed_t speed = baud == 57600    ? B57600
                              : baud == 19200  ? B19200
                              : baud == 115200 ? B115200
                                               : B9600;
        termios settings{};
        if (::tcgetattr(fd_.get(), &settings) != 0) {
            return false;
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        return ::tcsetattr(fd_.get(), TCSANOW, &settings) == 0;
    }

    bool send(std::span<const std::uint8_t> bytes) const {
        return ::write(fd_.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The whole round trip of a flash: the frame out, one answer byte back.
    bool frame(std::span<const std::uint8_t> bytes, int timeoutMs) const {
        return send(bytes) && answer(timeoutMs);
    }

    bool answer(int timeoutMs) const {
        pollfd pfd{fd_.get(), POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) != 1) {
            return false;
        }
        std::uint8_t byte = 0;
        return ::read(fd_.get(), &byte, 1) == 1 && byte == kFlashAck;
    }

  private:
    sim::UniqueFd fd_;
};

}  // namespace

sim::ReaderConfig NullFlasherReader(sim::ReaderConfig config) {
    config.serialRebootTime = std::chrono::milliseconds(20);
    return config;
}

NullFlash RunNullFlasher(sim::PtyReader& reader, const sim::Bytes& image) {
    NullPort port(reader.slavePath());
    NullFlash result;
    const int appBaud =
        reader.withReader([](sim::ReaderModel& m) { return m.serialBaud(sim::PtyReader::Now()); });
    if (!port.open() || !port.setBaud(appBaud)) {
        return result;
    }

    // The erase request at the reader's rate; once it has been heard, the ready byte and
    // the flash-mode command at 9600 baud, the speed check at 57600.
    if (!port.send(EraseRequest())) {
        return result;
    }
    const auto heard = [&] {
        return reader.withReader([](sim::ReaderModel& m) { return m.erases(); }) > 0;
    };
    for (int ms = 0; !heard(); ++ms) {
        if (ms == 1000) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!port.setBaud(9600) || !port.answer(6000) || !port.frame(kSerialFlashModeCommand, 1000) ||
        !port.setBaud(57600) || !port.frame(kSpeedCheck, 1000)) {
        return result;
    }

    reader.recordTurnarounds();
    bool acked = true;
    const Steady::time_point start = Steady::now();
    const double startCpu = CpuSeconds(RUSAGE_THREAD);
    for (std::size_t i = 0; acked && i < image.size(); ++i) {
        const std::array<std::uint8_t, 2> data = {image[i], kDataMark};
        acked = port.frame(data, 2000);
    }
    acked = acked && port.frame(kEndOfImage, 2000);
    result.seconds = std::chrono::duration<double>(Steady::now() - start).count();
    result.cpuShare = 100.0 * (CpuSeconds(RUSAGE_THREAD) - startCpu) / result.seconds;
    result.turnarounds = reader.takeTurnarounds();
    result.readerLate = reader.lateness();
    result.ok = acked && reader.withReader([&](sim::ReaderModel& m) {
        return m.flashComplete() && m.image() == image;
    });
    return result;
}

}  // namespace rq::bench
