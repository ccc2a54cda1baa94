#pragma once

#include <chrono>
#include <string_view>

#include "CpuTime.h"
#include "core/StatusLog.h"

namespace rq::bench {

using Steady = std::chrono::steady_clock;

// Notes when a firmware update's data transfer starts (its "Total ... Writing:" piece),
// in wall time and in the tool thread's processor time; shows nothing.
class TimingLog final : public StatusLog {
  public:
    void appendLine(std::string_view text) override { appendPiece(text); }
    void appendPiece(std::string_view text) override {
        if (text.starts_with("Total")) {
            transferStart = Steady::now();
            transferStartCpu = CpuSeconds(RUSAGE_THREAD);
        }
    }
    void appendEmptyLine() override {}
    void clear() override {}
    void repaint() override {}
    void repaintWindow() override {}
    void setTextColour(Rgb) override {}
    [[nodiscard]] PrintPosition printPosition() const override { return {}; }
    void takeFocus() override {}

    Steady::time_point transferStart;
    double transferStartCpu = 0;
};

}  // namespace rq::bench
