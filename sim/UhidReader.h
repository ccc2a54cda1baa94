#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Faults.h"
#include "PtyReader.h"
#include "ReaderConfig.h"
#include "ReaderModel.h"
#include "UhidReports.h"

namespace rq::sim {

// A reader on the machine's own USB bus through /dev/uhid (Linux): the kernel sees a HID
// device with the reader's IDs, its vendor interface and its keyboard interface, and
// hidraw, hidapi and the tool carry every report. A thread of its own answers in real
// time. The devices are destroyed while the reader is off the bus (its restart after an
// erase, an unplug) and created again when it comes back, so the host sees new nodes.
class UhidReader {
  public:
    struct Setup {
        std::string serialNumber;
        // Unplugged when this many frames have arrived, and plugged in again after
        // replugAfter: the cable pulled in the middle of an operation.
        std::optional<int> unplugAfterFrames;
        Duration replugAfter = std::chrono::seconds(1);
        // Called on the reader's thread when a flash has delivered the whole image.
        std::function<void(const Bytes& image, Duration transfer)> onImage;
    };

    // Throws std::system_error when /dev/uhid cannot be opened.
    UhidReader(ReaderConfig config, Faults faults, Setup setup);
    ~UhidReader();
    UhidReader(const UhidReader&) = delete;
    UhidReader& operator=(const UhidReader&) = delete;

    [[nodiscard]] const std::string& serialNumber() const { return setup_.serialNumber; }
    // Pulls the cable now; it goes back in after replugAfter.
    void unplug();

    template <typename F>
    decltype(auto) withReader(F&& f) {
        const std::lock_guard lock(mutex_);
        return std::forward<F>(f)(model_);
    }

  private:
    void run();
    void wake() const;
    // Creates or destroys the two devices as the reader is on the bus or not.
    void followBus(Duration now);
    void sendDue(Duration now);
    void readEvents(int fd, bool vendor);
    bool write(int fd, const uhid_event& event);

    ReaderModel model_;
    Setup setup_;
    mutable std::mutex mutex_;
    bool stopping_ = false;
    UniqueFd vendor_;
    UniqueFd keyboard_;
    bool onBus_ = false;
    bool unplugged_ = false;
    Duration replugAt_{};
    int erasesReported_ = -1;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::thread thread_;
};

}  // namespace rq::sim
