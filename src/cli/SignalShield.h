#pragma once

#include <csignal>
#include <string_view>

namespace rq::cli {

// While it lives, Ctrl-C (SIGINT), SIGTERM and SIGHUP do not end the program; each only
// prints the notice (once set) on standard error, and a closed output (SIGPIPE) is
// ignored. A firmware update is so never cut off halfway, which would leave the reader
// erased, as the window defers its close box. A read blocked at a question is
// interrupted, so Ctrl-C there answers no.
class SignalShield {
  public:
    SignalShield();
    ~SignalShield();
    SignalShield(const SignalShield&) = delete;
    SignalShield& operator=(const SignalShield&) = delete;

    // `notice` must outlive the shield.
    void setNotice(std::string_view notice);

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    struct sigaction previous_[std::size(kSignals)] = {};
};

}  // namespace rq::cli
