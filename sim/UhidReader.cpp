#include "UhidReader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

namespace rq::sim {
namespace {

// While the reader is off the bus, how often it looks whether it is back.
constexpr auto kOffBusPoll = std::chrono::milliseconds(20);
constexpr auto kIdlePoll = std::chrono::milliseconds(100);

UniqueFd OpenUhid() {
    UniqueFd fd(::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        throw std::system_error(errno, std::generic_category(), "/dev/uhid");
    }
    return fd;
}

}  // namespace

UhidReader::UhidReader(ReaderConfig config, Faults faults, Setup setup)
    : model_(std::move(config)), setup_(std::move(setup)) {
    model_.faults() = std::move(faults);
    // Both opened here, so a missing /dev/uhid is an error at start and not on a thread.
    vendor_ = OpenUhid();
    keyboard_ = OpenUhid();
    std::array<int, 2> pipe{};
    if (::pipe2(pipe.data(), O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    wakeRead_ = UniqueFd(pipe[0]);
    wakeWrite_ = UniqueFd(pipe[1]);
    thread_ = std::thread([this] { run(); });
}

UhidReader::~UhidReader() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    // Closing /dev/uhid destroys the devices.
}

void UhidReader::unplug() {
    {
        const std::lock_guard lock(mutex_);
        unplugged_ = true;
        replugAt_ = PtyReader::Now() + setup_.replugAfter;
    }
    wake();
}

void UhidReader::wake() const {
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(wakeWrite_.get(), &byte, 1);
}

bool UhidReader::write(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

void UhidReader::followBus(Duration now) {
    if (setup_.unplugAfterFrames && model_.framesReceived() >= *setup_.unplugAfterFrames) {
        setup_.unplugAfterFrames.reset();
        unplugged_ = true;
        replugAt_ = now + setup_.replugAfter;
    }
    if (unplugged_ && now >= replugAt_) {
        unplugged_ = false;
        model_.replug(now);
    }
    const bool wanted = !unplugged_ && !model_.gone() && model_.onUsbBus(now);
    if (wanted == onBus_) {
        return;
    }
    onBus_ = wanted;
    const uhid::Identity identity{.serialNumber = setup_.serialNumber};
    if (wanted) {
        write(vendor_.get(), uhid::CreateEvent(identity, uhid::Interface::Vendor));
        write(keyboard_.get(), uhid::CreateEvent(identity, uhid::Interface::Keyboard));
    } else {
        write(keyboard_.get(), uhid::DestroyEvent());
        write(vendor_.get(), uhid::DestroyEvent());
    }
}

void UhidReader::sendDue(Duration now) {
    if (!onBus_) {
        model_.dropInputReportsUntil(now);
        return;
    }
    while (const auto at = model_.nextInputReportTime()) {
        if (*at > now) {
            break;
        }
        const TimedReport report = *model_.takeInputReport();
        write(vendor_.get(), uhid::InputEvent(std::span(report.bytes).subspan(1)));
    }
}

void UhidReader::readEvents(int fd, bool vendor) {
    uhid_event event{};
    while (::read(fd, &event, sizeof event) > 0) {
        const uhid::Request request = uhid::Handle(event);
        if (request.reply) {
            write(fd, *request.reply);
        }
        if (vendor && request.outputReport) {
            const std::lock_guard lock(mutex_);
            model_.receiveOutputReport(*request.outputReport, PtyReader::Now());
        }
    }
}

void UhidReader::run() {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (;;) {
        Duration wait = kIdlePoll;
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                if (onBus_) {
                    write(keyboard_.get(), uhid::DestroyEvent());
                    write(vendor_.get(), uhid::DestroyEvent());
                }
                return;
            }
            const Duration now = PtyReader::Now();
            followBus(now);
            sendDue(now);
            if (model_.flashComplete() && model_.erases() != erasesReported_) {
                erasesReported_ = model_.erases();
                if (setup_.onImage) {
                    setup_.onImage(model_.image(), model_.imageTime());
                }
            }
            if (const auto next = model_.nextInputReportTime(); next && onBus_) {
                wait = std::clamp(*next - now, Duration::zero(), wait);
            }
            if (!onBus_ || unplugged_ || setup_.unplugAfterFrames) {
                wait = std::min<Duration>(wait, kOffBusPoll);
            }
        }
        std::array<pollfd, 3> fds{pollfd{wakeRead_.get(), POLLIN, 0},
                                  pollfd{vendor_.get(), POLLIN, 0},
                                  pollfd{keyboard_.get(), POLLIN, 0}};
        // To the microsecond: a flash waits for one reply per report.
        const auto seconds = std::chrono::floor<std::chrono::seconds>(wait);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((wait - seconds).count())};
        ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (fds[0].revents & POLLIN) {
            std::array<char, 64> drain{};
            while (::read(wakeRead_.get(), drain.data(), drain.size()) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) {
            readEvents(vendor_.get(), true);
        }
        if (fds[2].revents & POLLIN) {
            readEvents(keyboard_.get(), false);
        }
    }
}

}  // namespace rq::sim
