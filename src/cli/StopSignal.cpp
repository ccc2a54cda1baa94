#include "cli/StopSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <system_error>

namespace rq::cli {
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

StopSignal::StopSignal(std::function<void()> onStop) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    gWakeFd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this, onStop = std::move(onStop)] {
                         char bytes[16];
                         while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
                         }
                         onStop();
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInt_);
    ::sigaction(SIGTERM, &action, &previousTerm_);
}

StopSignal::~StopSignal() {
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    gWakeFd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

}  // namespace rq::cli
