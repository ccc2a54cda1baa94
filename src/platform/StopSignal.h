#pragma once

#include <functional>
#include <memory>

namespace rq {

// While it lives, SIGINT (Ctrl-C) and SIGTERM run `onStop` from the event loop instead of
// ending the program, so the communication test is ended as the window's "End Test"
// ends it. The signal handler only writes a byte into a pipe the event loop watches; on
// Windows the console's Ctrl-C and Ctrl-Break queue the call (StopSignalWin.cpp).
class StopSignal {
  public:
    explicit StopSignal(std::function<void()> onStop);
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    struct Watch;  // what the system's handler reaches

  private:
    std::unique_ptr<Watch> watch_;
};

}  // namespace rq
