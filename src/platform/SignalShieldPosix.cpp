#include "platform/SignalShield.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace rq {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<const char*> gNotice{nullptr};
std::atomic<std::size_t> gNoticeLength{0};

void OnSignal(int) {
    if (const char* notice = gNotice.load()) {
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, notice, gNoticeLength.load());
    }
}

}  // namespace

struct SignalShield::Previous {
    struct sigaction actions[std::size(kSignals)] = {};
};

SignalShield::SignalShield() : previous_(std::make_unique<Previous>()) {
    struct sigaction action {};
    action.sa_handler = OnSignal;  // no SA_RESTART: a blocked read returns
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (kSignals[i] == SIGPIPE) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigaction(SIGPIPE, &ignore, &previous_->actions[i]);
        } else {
            ::sigaction(kSignals[i], &action, &previous_->actions[i]);
        }
    }
}

void SignalShield::setNotice(std::string_view notice) {
    gNotice = nullptr;  // a signal now never pairs the new text with the old length
    gNoticeLength = notice.size();
    gNotice = notice.data();
}

SignalShield::~SignalShield() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &previous_->actions[i], nullptr);
    }
    gNotice = nullptr;
}

}  // namespace rq
