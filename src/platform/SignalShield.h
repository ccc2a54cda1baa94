#pragma once

#include <memory>
#include <string_view>

namespace rq {

// While it lives, Ctrl-C (SIGINT), SIGTERM and SIGHUP do not end the program; each only
// prints the notice (once set) on standard error, and a closed output (SIGPIPE) is
// ignored. A firmware update is so never cut off halfway, which would leave the reader
// erased, as the window defers its close box. A read blocked at a question is
// interrupted, so Ctrl-C there answers no. On Windows the console's Ctrl-C and
// Ctrl-Break do the same (SignalShieldWin.cpp).
class SignalShield {
  public:
    SignalShield();
    ~SignalShield();
    SignalShield(const SignalShield&) = delete;
    SignalShield& operator=(const SignalShield&) = delete;

    // `notice` must outlive the shield.
    void setNotice(std::string_view notice);

  private:
    struct Previous;  // the handlers in place before, put back at the end
    std::unique_ptr<Previous> previous_;
};

}  // namespace rq
