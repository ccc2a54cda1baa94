#pragma once

#include <optional>
#include <string>

#include "cli/ConsoleLog.h"
#include "core/Clock.h"
#include "firmware/FlashProgress.h"

namespace rq::cli {

// The image's progress as a bar on the terminal, redrawn behind the "Writing:" line: the
// bytes sent, the rate and the time left.
class ProgressBar final : public FlashProgress {
  public:
    ProgressBar(ConsoleLog& log, const Clock& clock) : log_(log), clock_(clock) {}

    void imageBytesSent(int sent, int total) override;

  private:
    ConsoleLog& log_;
    const Clock& clock_;
    std::optional<Clock::Duration> start_;
    std::optional<Clock::Duration> lastDrawn_;
};

// " [#####.....]  4096/32767 bytes  1.2 kB/s  0:24 left" after `elapsed` since sending
// began, "done in 0:27" at the end; the rate and time left show "--" until a byte has
// taken measurable time.
[[nodiscard]] std::string ProgressText(int sent, int total, Clock::Duration elapsed);

}  // namespace rq::cli
