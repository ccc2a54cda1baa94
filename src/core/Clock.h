#pragma once

#include <chrono>

namespace rq {

// The monotonic clock behind every wait. Waits block in the OS in short slices and
// call keepAlive() between them, which keeps the window painted while a command runs.
class Clock {
  public:
    using Duration = std::chrono::nanoseconds;

    virtual ~Clock() = default;

    // Time since an arbitrary fixed point; never goes back.
    [[nodiscard]] virtual Duration now() const = 0;
    // Returns at `deadline` (or at once when it has passed), calling keepAlive() meanwhile.
    virtual void sleepUntil(Duration deadline) = 0;
    // Lets the window repaint and answer the desktop; no operator input is handled.
    virtual void keepAlive() = 0;
};

// Seconds as the operations give them, as a clock duration.
[[nodiscard]] constexpr Clock::Duration SecondsToDuration(double seconds) {
    return std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds));
}

}  // namespace rq
