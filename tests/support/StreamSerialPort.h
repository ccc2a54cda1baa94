#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "support/NoDevices.h"

namespace rq::testing {

// An open serial port that hands out the bytes queued on it, for the receive handler.
// Bytes queued as `late` arrive after the count was read: inBufferCount does not see
// them, input takes them.
class StreamSerialPort final : public NoSerialPort {
  public:
    void queue(std::vector<std::uint8_t> bytes, std::vector<std::uint8_t> late = {}) {
        waiting_.insert(waiting_.end(), bytes.begin(), bytes.end());
        late_.insert(late_.end(), late.begin(), late.end());
    }
    // The window's event loop delivers a notification.
    void notify() {
        if (handler_) {
            handler_();
        }
    }

    [[nodiscard]] bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    SerialFailure inBufferCount(int& count) override {
        count = static_cast<int>(waiting_.size());
        return SerialFailure::None;
    }
    SerialFailure input(std::vector<std::uint8_t>& bytes) override {
        bytes = std::exchange(waiting_, {});
        bytes.insert(bytes.end(), late_.begin(), late_.end());
        late_.clear();
        return SerialFailure::None;
    }
    void setReceiveHandler(std::function<void()> handler) override {
        handler_ = std::move(handler);
    }

  private:
    bool open_ = true;
    std::vector<std::uint8_t> waiting_;
    std::vector<std::uint8_t> late_;
    std::function<void()> handler_;
};

}  // namespace rq::testing
