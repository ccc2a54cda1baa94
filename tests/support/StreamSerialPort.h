#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "support/NoDevices.h"

namespace rq::testing {

// An open serial port that hands out the bytes queued on it, for the receive handler.
// Bytes queued with `late` arrive after the count was read: inBufferCount does not see
// them, input takes them. fail() pulls the adapter: reads fail until close().
class StreamSerialPort final : public NoSerialPort {
  public:
    void queue(std::vector<std::uint8_t> bytes, std::vector<std::uint8_t> late = {}) {
        waiting_.insert(waiting_.end(), bytes.begin(), bytes.end());
        late_.insert(late_.end(), late.begin(), late.end());
    }
    void fail() { failed_ = true; }
    // The window's event loop delivers a notification.
    void notify() {
        if (handler_) {
            handler_();
        }
    }

    [[nodiscard]] bool isOpen() const override { return open_; }
    SerialFailure open() override {
        open_ = true;
        return SerialFailure::None;
    }
    void close() override {
        open_ = false;
        ++closes;
    }
    SerialFailure inBufferCount(int& count) override {
        count = static_cast<int>(waiting_.size());
        return failed_ ? SerialFailure::ReadFailed : SerialFailure::None;
    }
    SerialFailure input(std::vector<std::uint8_t>& bytes) override {
        bytes.clear();
        if (failed_ || !open_) {
            return failed_ ? SerialFailure::ReadFailed : SerialFailure::PortNotOpen;
        }
        bytes.assign(waiting_.begin(), waiting_.end());
        bytes.insert(bytes.end(), late_.begin(), late_.end());
        waiting_.clear();
        late_.clear();
        ++reads;
        return SerialFailure::None;
    }
    void setReceiveHandler(std::function<void()> handler) override {
        handler_ = std::move(handler);
    }

    int closes = 0;
    int reads = 0;

  private:
    bool open_ = true;
    bool failed_ = false;
    std::vector<std::uint8_t> waiting_;
    std::vector<std::uint8_t> late_;
    std::function<void()> handler_;
};

}  // namespace rq::testing
