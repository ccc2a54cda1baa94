#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Faults.h"
#include "ReaderConfig.h"
#include "ReaderModel.h"

namespace rq::sim {

// A file descriptor that closes itself.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    [[nodiscard]] int get() const { return fd_; }
    void reset();

  private:
    int fd_ = -1;
};

// A reader behind a pseudo-terminal, answering in real time from a thread of its own.
// The host opens slavePath() like a serial port; the reader hears it only while the
// terminal runs at the reader's rate (the master sees the slave's line settings).
// Stopping, or destroying, joins the thread and closes the master, after which the
// host's port fails as if its adapter had been pulled.
class PtyReader {
  public:
    // Throws std::system_error when no pseudo-terminal can be had.
    explicit PtyReader(ReaderConfig config = {}, Faults faults = {});
    ~PtyReader();
    PtyReader(const PtyReader&) = delete;
    PtyReader& operator=(const PtyReader&) = delete;

    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }
    void stop();

    // Runs f(ReaderModel&) while the reader's thread stands still, then lets the thread
    // look at the model again (so bytes f made it send go out at once).
    template <typename F>
    decltype(auto) withReader(F&& f) {
        const Waker waker{*this};
        const std::lock_guard lock(mutex_);
        return std::forward<F>(f)(model_);
    }

    // From now on, the time from each write of the reader to the next bytes it reads: the
    // host's turnaround, the terminal both ways included. Taken (and emptied) by
    // takeTurnarounds(); at most kMaxTurnarounds are kept.
    void recordTurnarounds();
    [[nodiscard]] std::vector<Duration> takeTurnarounds();
    // With recording on: how much later than due the reader's bytes went out, in all
    // (the thread's own wake-up delay, which a real reader does not have).
    [[nodiscard]] Duration lateness() const;
    static constexpr std::size_t kMaxTurnarounds = 1 << 20;

    // The reader's clock: std::chrono::steady_clock.
    [[nodiscard]] static Duration Now();
    // The rate the terminal runs at now; 0 when it is none of the reader's rates.
    [[nodiscard]] int terminalBaud() const;

  private:
    struct Waker {
        PtyReader& reader;
        ~Waker() { reader.wake(); }
    };

    void run();
    void wake() const;
    void readFromHost();
    void sendDue(bool hungUp);

    ReaderModel model_;
    mutable std::mutex mutex_;
    bool stopping_ = false;
    UniqueFd master_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::string slavePath_;
    bool recordTurnarounds_ = false;
    std::optional<Duration> lastWrite_;
    std::vector<Duration> turnarounds_;
    Duration lateness_{};
    std::thread thread_;
};

}  // namespace rq::sim
