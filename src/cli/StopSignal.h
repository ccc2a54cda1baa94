#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace rq::cli {

// While it lives, SIGINT (Ctrl-C) and SIGTERM run `onStop` from the event loop instead of
// ending the program, so the communication test is ended as the window's "End Test"
// ends it. The signal handler only writes a byte into a pipe the event loop watches.
class StopSignal {
  public:
    explicit StopSignal(std::function<void()> onStop);
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

  private:
    int pipe_[2] = {-1, -1};
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace rq::cli
