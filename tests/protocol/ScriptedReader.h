#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/HidLibrary.h"
#include "core/SerialPort.h"

// Scripted stand-ins for the two links: each reply is queued by the test, so that every
// fault the operations must survive (lost reports, short or garbled replies, failing
// calls) can be staged exactly. Only the handshake and the probe are answered by
// themselves.
namespace rq::testing {

using Bytes = std::vector<std::uint8_t>;

class ManualClock final : public Clock {
  public:
    [[nodiscard]] Duration now() const override { return now_; }
    void sleepUntil(Duration deadline) override { now_ = std::max(now_, deadline); }
    void keepAlive() override {}
    void advance(Duration by) { now_ += by; }

  private:
    Duration now_{};
};

class ScriptedHid final : public HidLibrary {
  public:
    struct Reply {
        Bytes bytes;  // report IDs included, as they land in the buffer
        std::uint8_t status = kHidSuccess;
    };

    bool attached = true;
    std::deque<std::uint8_t> sendStatuses;  // statuses of the sends after the handshake
    std::deque<Reply> replies;              // input reads after the handshake
    std::vector<Bytes> sent;                // every output report, handshake included
    std::vector<std::size_t> readSizes;     // buffer size of every input read
    // Claimed on top of what was delivered: a library that miscounts.
    std::uint32_t extraBytesClaimed = 0;
    // Reads after the handshake throw, as a binding might when the device goes away.
    bool throwOnReply = false;
    bool open = false;
    // When set, sends, reads and closes are noted here ("hid:send", "hid:read",
    // "hid:close"), e.g. into a status log's trace to see what came between.
    std::vector<std::string>* trace = nullptr;

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t, std::uint16_t) override {
        return attached ? 1 : 0;
    }
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t, std::uint16_t, std::uint16_t,
                                std::uint32_t) override {
        device = 7;
        open = true;
        handshakeDone_ = false;
        return kHidSuccess;
    }
    void HidDevice_GetHandle(HidDeviceRef) override {}
    std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef) override { return 9; }
    std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef) override { return 9; }
    std::uint8_t HidDevice_SetOutputReport_Interrupt(
        HidDeviceRef, std::span<const std::uint8_t> report) override {
        note("hid:send");
        sent.emplace_back(report.begin(), report.end());
        if (!handshakeDone_ || sendStatuses.empty()) {
            return kHidSuccess;
        }
        const std::uint8_t status = sendStatuses.front();
        sendStatuses.pop_front();
        return status;
    }
    std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef, std::span<std::uint8_t> buffer,
                                                    std::uint32_t,
                                                    std::uint32_t& bytesReturned) override {
        note("hid:read");
        readSizes.push_back(buffer.size());
        Reply reply;
        if (!handshakeDone_) {
            handshakeDone_ = true;
            reply.bytes = {0, 0x1B, 0, 7, '4', '7', '2', '0', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 0};
        } else if (throwOnReply) {
            throw std::runtime_error("the HID device went away");
        } else if (!replies.empty()) {
            reply = replies.front();
            replies.pop_front();
        } else {
            reply.status = kHidTransferTimeout;  // a silent reader
        }
        const std::size_t n = std::min(buffer.size(), reply.bytes.size());
        std::copy_n(reply.bytes.begin(), n, buffer.begin());
        bytesReturned = static_cast<std::uint32_t>(n) + extraBytesClaimed;
        return reply.status;
    }
    std::uint8_t HidDevice_Close(HidDeviceRef) override {
        note("hid:close");
        open = false;
        return kHidSuccess;
    }

    // The reports sent, handshakes left out.
    [[nodiscard]] std::vector<Bytes> commands() const {
        std::vector<Bytes> result;
        std::copy_if(sent.begin(), sent.end(), std::back_inserter(result),
                     [](const Bytes& r) { return r != Bytes{0, 0x1B, 0, 0, 0, 0, 0, 0, 0}; });
        return result;
    }

  private:
    void note(const char* call) {
        if (trace != nullptr) {
            trace->emplace_back(call);
        }
    }

    bool handshakeDone_ = false;
};

// A reader on one COM port at one baud rate. It answers the probe by itself; every other
// frame gets the next queued reply, which arrives `after` the frame was sent.
class ScriptedSerial final : public SerialPort {
  public:
    struct Reply {
        Bytes bytes;
        std::chrono::milliseconds after{50};
    };

    explicit ScriptedSerial(ManualClock& clock) : clock_(clock) {}

    int readerPort = 3;  // 0: no reader on any port
    std::string readerSettings = "19200,n,8,1";
    bool revisionB = true;
    std::deque<Reply> replies;
    std::vector<Bytes> frames;  // every frame after the probe that found the reader
    SerialFailure outputFailure = SerialFailure::None;  // of frames after the probe
    bool unplugAfterSearch = false;                     // the port fails once the reader was found
    bool throwOnFrame = false;  // writes after the probe throw, as a binding might
    // When set, writes and closes are noted here ("serial:output", "serial:close").
    std::vector<std::string>* trace = nullptr;

    void setCommPort(int port) override { port_ = port; }
    [[nodiscard]] int commPort() const override { return port_; }
    SerialFailure setSettings(std::string_view settings) override {
        settings_ = settings;
        return SerialFailure::None;
    }
    [[nodiscard]] std::string_view settings() const override { return settings_; }
    void setInputMode(int) override {}
    [[nodiscard]] bool isOpen() const override { return open_; }
    SerialFailure open() override {
        if (readerPort == 0 || port_ != readerPort) {
            return SerialFailure::OpenFailed;
        }
        open_ = true;
        return SerialFailure::None;
    }
    void close() override {
        note("serial:close");
        open_ = false;
        ++closes;
    }
    SerialFailure inBufferCount(int& count) override {
        if (broken()) {
            return SerialFailure::ReadFailed;
        }
        count = static_cast<int>(arrived().size());
        return SerialFailure::None;
    }
    void discardInput() override { pending_.clear(); }
    void discardOutput() override {}
    SerialFailure output(std::span<const std::uint8_t> bytes) override {
        note("serial:output");
        if (!open_) {
            return SerialFailure::PortNotOpen;
        }
        const Bytes frame(bytes.begin(), bytes.end());
        if (frame == Bytes{0x1B, 0x00}) {
            if (settings_ == readerSettings) {
                Bytes answer = revisionB ? Bytes{27, 0, 7, '4', '7', '2', '0', 'B', 0, 0}
                                         : Bytes{27, 0, 7, 'R', 'Q', '-', '4', '7', '2', '0'};
                queue({answer, std::chrono::milliseconds(20)});
                framesSinceFound_ = 0;
            }
            return SerialFailure::None;
        }
        frames.push_back(frame);
        if (throwOnFrame) {
            throw std::runtime_error("the serial adapter went away");
        }
        ++framesSinceFound_;
        // A failing write may still have reached the reader: the queued reply comes anyway.
        if (!replies.empty()) {
            queue(replies.front());
            replies.pop_front();
        }
        return outputFailure;
    }
    SerialFailure input(std::vector<std::uint8_t>& bytes) override {
        if (broken()) {
            return SerialFailure::ReadFailed;
        }
        bytes = arrived();
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(bytes.size()));
        return SerialFailure::None;
    }
    void waitForInput(std::chrono::nanoseconds maxWait) override { clock_.advance(maxWait); }
    void setReceiveHandler(std::function<void()>) override {}

    int closes = 0;

  private:
    struct Timed {
        std::uint8_t byte;
        Clock::Duration at;
    };
    void queue(const Reply& reply) {
        for (std::uint8_t b : reply.bytes) {
            pending_.push_back({b, clock_.now() + reply.after});
        }
    }
    [[nodiscard]] Bytes arrived() const {
        Bytes bytes;
        for (const auto& t : pending_) {
            if (t.at > clock_.now()) {
                break;
            }
            bytes.push_back(t.byte);
        }
        return bytes;
    }
    [[nodiscard]] bool broken() const { return unplugAfterSearch && framesSinceFound_ > 0; }
    void note(const char* call) {
        if (trace != nullptr) {
            trace->emplace_back(call);
        }
    }

    ManualClock& clock_;
    int port_ = 1;
    std::string settings_;
    bool open_ = false;
    int framesSinceFound_ = 0;
    std::vector<Timed> pending_;
};

}  // namespace rq::testing
