// rq4720-null-flash DEVICE BAUD IMAGE: the null flasher on a real serial device, e.g. a
// USB-serial adapter. The whole RS232 flash with plain write, poll and read, no port
// object, no log: the least any program can do through that adapter, against which the
// tool's flash is measured (tests/drivers). Prints the seconds of the data phase (first
// data frame to the end-of-image answer) and of the whole flash.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "firmware/FlashFrames.h"

namespace {

using Steady = std::chrono::steady_clock;
int fd = -1;

bool SetBaud(int baud) {
    const speed_t speed = baud == 57600    ? B57600
                          : baud == 19200  ? B19200
                          : baud == 115200 ? B115200
                                           : B9600;
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    return ::tcsetattr(fd, TCSADRAIN, &settings) == 0;
}

bool Answer(int timeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    std::uint8_t byte = 0;
    return ::poll(&pfd, 1, timeoutMs) == 1 && ::read(fd, &byte, 1) == 1 && byte == rq::kFlashAck;
}

bool Frame(std::span<const std::uint8_t> bytes, int timeoutMs) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
           Answer(timeoutMs);
}

// Low-latency mode, as the tool asks for it (the adapter passes each byte on at once),
// and off again at the end, as the tool leaves it.
struct LowLatency {
    LowLatency() {
        if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
            serial.flags |= ASYNC_LOW_LATENCY;
            turnedOn = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
        }
    }
    ~LowLatency() {
        if (turnedOn) {
            serial.flags &= ~ASYNC_LOW_LATENCY;
            ::ioctl(fd, TIOCSSERIAL, &serial);
        }
    }
    LowLatency(const LowLatency&) = delete;
    LowLatency& operator=(const LowLatency&) = delete;
    serial_struct serial{};
    bool turnedOn = false;
};

double Since(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage: rq4720-null-flash DEVICE BAUD IMAGE\n");
        return 64;
    }
    std::ifstream file(argv[3], std::ios::binary);
    const std::vector<std::uint8_t> image(std::istreambuf_iterator<char>(file), {});
    fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || image.empty() || !SetBaud(std::stoi(argv[2]))) {
        std::perror("rq4720-null-flash");
        return 1;
    }
    const LowLatency lowLatency;
    const Steady::time_point start = Steady::now();
    const auto erase = rq::EraseRequest();
    ::write(fd, erase.data(), erase.size());
    ::tcdrain(fd);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (!SetBaud(9600) || !Answer(6000) || !Frame(rq::kSerialFlashModeCommand, 1000) ||
        !SetBaud(57600) || !Frame(rq::kSpeedCheck, 1000)) {
        std::fprintf(stderr, "rq4720-null-flash: no flash mode\n");
        return 2;
    }
    const Steady::time_point data = Steady::now();
    for (const std::uint8_t byte : image) {
        const std::array<std::uint8_t, 2> frame = {byte, rq::kDataMark};
        if (!Frame(frame, 2000)) {
            std::fprintf(stderr, "rq4720-null-flash: no answer\n");
            return 2;
        }
    }
    if (!Frame(rq::kEndOfImage, 2000)) {
        return 2;
    }
    std::printf("null flasher: %zu bytes, data phase %.3f s, whole flash %.3f s\n", image.size(),
                Since(data), Since(start));
    return 0;
}
