#pragma once

#include <sys/resource.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/StatusLog.h"

namespace rq::bench {

using Steady = std::chrono::steady_clock;

// Processor time of the calling thread: the tool's, not the in-process reader's.
inline double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Keeps the lines and notes when the data transfer starts ("Total ... Writing:").
class TimingLog final : public StatusLog {
  public:
    void appendLine(std::string_view text) override {
        appendPiece(text);
        lines.push_back(open_);
        open_.clear();
    }
    void appendPiece(std::string_view text) override {
        if (text.starts_with("Total")) {
            transferStart = Steady::now();
            transferStartCpu = ThreadCpuSeconds();
        }
        open_ += text;
    }
    void appendEmptyLine() override { appendLine(""); }
    void clear() override { lines.clear(); }
    void repaint() override {}
    void repaintWindow() override {}
    void setTextColour(Rgb) override {}
    [[nodiscard]] PrintPosition printPosition() const override { return {}; }
    void takeFocus() override {}

    std::vector<std::string> lines;
    Steady::time_point transferStart;
    double transferStartCpu = 0;

  private:
    std::string open_;
};

}  // namespace rq::bench
