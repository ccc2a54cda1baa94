#pragma once

#include <string>
#include <string_view>

#include "core/SerialPort.h"

namespace rq {

// The RS232 paths of the reader operations carry on after a failing step: the step is
// abandoned, the code of the first failure is kept, and the error line shows it.
class TolerantMode {
  public:
    // Records the outcome of one step; later failures keep the first code.
    void step(SerialFailure outcome) {
        if (failure_ == SerialFailure::None) {
            failure_ = outcome;
        }
    }

    [[nodiscard]] bool failed() const { return failure_ != SerialFailure::None; }
    [[nodiscard]] int code() const { return FailureCode(failure_); }

    // The error line: the text immediately followed by the code in decimal ("0" when none).
    [[nodiscard]] std::string errorLine(std::string_view text) const {
        return std::string(text) + std::to_string(code());
    }

  private:
    SerialFailure failure_ = SerialFailure::None;
};

}  // namespace rq
