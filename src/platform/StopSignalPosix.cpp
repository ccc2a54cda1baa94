#include "platform/StopSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <system_error>

namespace rq {
namespace {

std::atomic<int> gWakeFd{-1};

void OnSignal(int) {
    const int fd = gWakeFd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
}

}  // namespace

struct StopSignal::Watch {
    int pipe[2] = {-1, -1};
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
    std::unique_ptr<QSocketNotifier> notifier;
};

StopSignal::StopSignal(std::function<void()> onStop) : watch_(std::make_unique<Watch>()) {
    if (::pipe2(watch_->pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    gWakeFd = watch_->pipe[1];
    watch_->notifier = std::make_unique<QSocketNotifier>(watch_->pipe[0], QSocketNotifier::Read);
    QObject::connect(watch_->notifier.get(), &QSocketNotifier::activated, watch_->notifier.get(),
                     [fd = watch_->pipe[0], onStop = std::move(onStop)] {
                         char bytes[16];
                         while (::read(fd, bytes, sizeof bytes) > 0) {
                         }
                         onStop();
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &watch_->previousInt);
    ::sigaction(SIGTERM, &action, &watch_->previousTerm);
}

StopSignal::~StopSignal() {
    ::sigaction(SIGINT, &watch_->previousInt, nullptr);
    ::sigaction(SIGTERM, &watch_->previousTerm, nullptr);
    gWakeFd = -1;
    watch_->notifier.reset();
    ::close(watch_->pipe[0]);
    ::close(watch_->pipe[1]);
}

}  // namespace rq
