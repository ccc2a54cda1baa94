#include "PtyReader.h"

#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace rq::sim {
namespace {

// Longest sleep of the reader's thread; while no host has the terminal open it looks
// this often whether one has come.
constexpr auto kIdlePoll = std::chrono::milliseconds(100);
constexpr auto kHungUpPoll = std::chrono::milliseconds(5);

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int BaudOfSpeed(speed_t speed) {
    switch (speed) {
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void UniqueFd::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PtyReader::PtyReader(ReaderConfig config, Faults faults) : model_(std::move(config)) {
    model_.faults() = std::move(faults);
    master_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (master_.get() < 0) {
        ThrowErrno("posix_openpt");
    }
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
        ThrowErrno("unlockpt");
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master_.get(), name.data(), name.size()) != 0) {
        ThrowErrno("ptsname_r");
    }
    slavePath_ = name.data();

    // Open the terminal once to make it raw at 9600 baud: no echo, no line editing until
    // the host sets its own. Closing it leaves the master hung up until a host opens it,
    // so nothing is written for nobody.
    {
        const UniqueFd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (slave.get() < 0) {
            ThrowErrno("open pseudo-terminal");
        }
        termios settings{};
        ::tcgetattr(slave.get(), &settings);
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B9600);
        ::cfsetospeed(&settings, B9600);
        ::tcsetattr(slave.get(), TCSANOW, &settings);
    }

    std::array<int, 2> pipe{};
    if (::pipe2(pipe.data(), O_NONBLOCK | O_CLOEXEC) != 0) {
        ThrowErrno("pipe2");
    }
    wakeRead_ = UniqueFd(pipe[0]);
    wakeWrite_ = UniqueFd(pipe[1]);
    thread_ = std::thread([this] { run(); });
}

PtyReader::~PtyReader() {
    stop();
}

void PtyReader::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    master_.reset();
}

Duration PtyReader::Now() {
    return std::chrono::duration_cast<Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

int PtyReader::terminalBaud() const {
    const std::lock_guard lock(mutex_);
    termios settings{};
    if (master_.get() < 0 || ::tcgetattr(master_.get(), &settings) != 0) {
        return 0;
    }
    return BaudOfSpeed(::cfgetospeed(&settings));
}

void PtyReader::wake() const {
    if (wakeWrite_.get() >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(wakeWrite_.get(), &byte, 1);
    }
}

void PtyReader::run() {
#ifdef __linux__
    // A reply is due to the microsecond; the default timer slack would add 50 us to each.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    bool hungUp = true;
    for (;;) {
        Duration wait = kIdlePoll;
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            // Wakes when the next reply is due, to the microsecond: a reply per byte of a
            // firmware image must not wait for a millisecond tick.
            if (const auto next = model_.nextSerialOutputTime()) {
                wait = std::clamp(*next - Now(), Duration::zero(), wait);
            }
        }
        // A hung-up master polls as readable at once, so then only the wake pipe is
        // watched, briefly, and the terminal looked at again.
        std::array<pollfd, 2> fds{pollfd{wakeRead_.get(), POLLIN, 0},
                                  pollfd{master_.get(), POLLIN, 0}};
        if (hungUp) {
            wait = std::min<Duration>(wait, kHungUpPoll);
        }
        const auto seconds = std::chrono::floor<std::chrono::seconds>(wait);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((wait - seconds).count())};
        ::ppoll(fds.data(), hungUp ? 1 : 2, &timeout, nullptr);
        if (fds[0].revents & POLLIN) {
            std::array<char, 64> drain{};
            while (::read(wakeRead_.get(), drain.data(), drain.size()) > 0) {
            }
        }
        pollfd probe{master_.get(), POLLIN, 0};
        ::poll(&probe, 1, 0);
        hungUp = (probe.revents & POLLHUP) != 0;
        if (probe.revents & POLLIN) {
            readFromHost();
        }
        sendDue(hungUp);
        if (const std::lock_guard lock(mutex_); model_.gone()) {
            master_.reset();  // the adapter went with the reader
            return;
        }
    }
}

void PtyReader::readFromHost() {
    std::array<std::uint8_t, 4096> buffer{};
    const auto count = ::read(master_.get(), buffer.data(), buffer.size());
    if (count <= 0) {
        return;
    }
    const int baud = terminalBaud();
    const std::lock_guard lock(mutex_);
    const Duration now = Now();
    if (lastWrite_ && turnarounds_.size() < kMaxTurnarounds) {
        turnarounds_.push_back(now - *lastWrite_);
    }
    lastWrite_.reset();
    // At another rate the reader sees only noise and keeps quiet. The terminal hands the
    // bytes over at once; on a line the last one arrives after 10 bits a byte.
    if (baud != 0 && baud == model_.serialBaud(now)) {
        const Duration line =
            std::chrono::duration_cast<Duration>(std::chrono::seconds(1) * count * 10) / baud;
        const Duration arrival = now + (model_.config().lineTime ? line : Duration{});
        model_.receiveSerial(std::span(buffer.data(), static_cast<std::size_t>(count)), arrival);
    }
}

void PtyReader::sendDue(bool hungUp) {
    const int baud = terminalBaud();
    const std::lock_guard lock(mutex_);
    for (const SerialChunk& chunk : model_.takeSerialOutput(Now())) {
        // Nobody listening, or listening at another rate: the bytes are lost.
        if (hungUp || chunk.baud != baud) {
            continue;
        }
        std::size_t offset = 0;
        while (offset < chunk.bytes.size()) {
            const auto written =
                ::write(master_.get(), chunk.bytes.data() + offset, chunk.bytes.size() - offset);
            if (written <= 0) {
                break;
            }
            offset += static_cast<std::size_t>(written);
        }
        if (recordTurnarounds_) {
            lastWrite_ = Now();
            lateness_ += std::max(Duration{}, *lastWrite_ - chunk.at);
        }
    }
}

void PtyReader::recordTurnarounds() {
    const std::lock_guard lock(mutex_);
    recordTurnarounds_ = true;
    turnarounds_.reserve(kMaxTurnarounds);
}

Duration PtyReader::lateness() const {
    const std::lock_guard lock(mutex_);
    return lateness_;
}

std::vector<Duration> PtyReader::takeTurnarounds() {
    const std::lock_guard lock(mutex_);
    return std::exchange(turnarounds_, {});
}

}  // namespace rq::sim
