#include "cli/ProgressBar.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace rq::cli {
namespace {

constexpr int kBarWidth = 24;
// Redrawn at most this often, and always at the start and the end.
constexpr Clock::Duration kRedrawInterval = std::chrono::milliseconds(100);

std::string Rate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond < 1000) {
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    } else {
        std::snprintf(text, sizeof text, "%.1f kB/s", bytesPerSecond / 1000);
    }
    return text;
}

std::string MinutesAndSeconds(double seconds) {
    const long whole = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string ProgressText(int sent, int total, Clock::Duration elapsed) {
    const double done = total > 0 ? std::clamp(double(sent) / total, 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(done * kBarWidth);
    std::string text = " [" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "]  " +
                       std::to_string(sent) + "/" + std::to_string(total) + " bytes  ";
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (sent <= 0 || seconds <= 0) {
        return text + "-- B/s  --:-- left";
    }
    const double rate = sent / seconds;
    if (sent >= total) {
        return text + Rate(rate) + "  done in " + MinutesAndSeconds(seconds);
    }
    return text + Rate(rate) + "  " + MinutesAndSeconds((total - sent) / rate) + " left";
}

void ProgressBar::imageBytesSent(int sent, int total) {
    const Clock::Duration now = clock_.now();
    if (!start_ || sent == 0) {
        start_ = now;
    }
    if (sent != 0 && sent != total && lastDrawn_ && now - *lastDrawn_ < kRedrawInterval) {
        return;
    }
    lastDrawn_ = now;
    log_.showAfterLine(ProgressText(sent, total, now - *start_));
}

}  // namespace rq::cli
