// The reader's RS232 side: a byte stream cut into frames, its flash path at 9600 and
// 57600 baud, and the IDs it sends when an iButton is placed.
#include <algorithm>

#include "ReaderModel.h"
#include "Replies.h"
#include "firmware/EraseCode.h"

namespace rq::sim {
namespace {

// The bytes of an incomplete frame are dropped when the line stays quiet this long.
constexpr Duration kFrameGap = std::chrono::milliseconds(500);
constexpr int kFlashCommandBaud = 9600;
constexpr int kFlashDataBaud = 57600;
constexpr std::uint8_t kFlashCommandArgument = 0x02;

}  // namespace

int ReaderModel::serialBaud(Duration now) {
    advance(now);
    if (gone_) {
        return 0;
    }
    switch (mode_) {
        case Mode::Application:
            return BaudForCode(settings_[0]);
        case Mode::Rebooting:
            return 0;
        case Mode::Flash:
            return serialFlash_ == SerialFlash::AwaitCommand ? kFlashCommandBaud : kFlashDataBaud;
    }
    return 0;
}

std::optional<Duration> ReaderModel::nextSerialOutputTime() const {
    if (serialOut_.empty()) {
        return std::nullopt;
    }
    return serialOut_.front().at;
}

std::vector<SerialChunk> ReaderModel::takeSerialOutput(Duration until) {
    std::vector<SerialChunk> arrived;
    while (!serialOut_.empty() && serialOut_.front().at <= until) {
        arrived.push_back(std::move(serialOut_.front()));
        serialOut_.pop_front();
    }
    return arrived;
}

std::optional<std::size_t> ReaderModel::serialFrameLength(
    std::span<const std::uint8_t> bytes) const {
    if (mode_ == Mode::Flash && serialFlash_ == SerialFlash::Data) {
        return 2;  // data byte and 0x55, or the end of the image
    }
    if (mode_ == Mode::Flash && serialFlash_ == SerialFlash::AwaitSpeedCheck &&
        bytes[0] == kFlashAck) {
        return 1;
    }
    if (bytes[0] == kEraseCommand) {
        return 1 + kEraseCode.size();
    }
    if (bytes[0] != kEsc) {
        return std::nullopt;
    }
    if (bytes.size() < 2) {
        return 0;
    }
    if (bytes[1] == kFlashMode) {
        return mode_ == Mode::Flash ? std::optional<std::size_t>(3) : std::nullopt;
    }
    return ApplicationFrameLength(bytes[1]);
}

bool ReaderModel::receiveSerial(std::span<const std::uint8_t> bytes, Duration now) {
    advance(now);
    if (gone_) {
        return false;
    }
    if (mode_ == Mode::Rebooting) {
        return true;
    }
    if (!serialRx_.empty() && now - serialLastByte_ > kFrameGap) {
        trace("incomplete frame dropped");
        serialRx_.clear();
    }
    serialLastByte_ = now;
    Bytes pending = std::move(serialRx_);
    serialRx_.clear();
    pending.insert(pending.end(), bytes.begin(), bytes.end());

    std::size_t pos = 0;
    while (pos < pending.size()) {
        const std::span<const std::uint8_t> rest(pending.data() + pos, pending.size() - pos);
        const auto length = serialFrameLength(rest);
        if (!length) {
            ++pos;  // not the start of a frame: the reader waits for one
            continue;
        }
        if (*length == 0 || rest.size() < *length) {
            break;
        }
        const Bytes frame(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(*length));
        pos += *length;
        if (!admitFrame()) {
            if (gone_) {
                return false;
            }
            continue;
        }
        handleFrame(frame, Link::Serial, now);
        if (mode_ == Mode::Rebooting) {
            return true;  // what follows the erase request is lost in the reboot
        }
    }
    serialRx_.assign(pending.begin() + static_cast<std::ptrdiff_t>(pos), pending.end());
    return true;
}

void ReaderModel::handleSerialFlashFrame(std::span<const std::uint8_t> frame, Duration now) {
    const Duration at = now + config_.replyLatency;
    switch (serialFlash_) {
        case SerialFlash::AwaitCommand:
        case SerialFlash::AwaitSpeedCheck:
            if (frame[0] == kEraseCommand) {
                erase(frame, Link::Serial, now);
                return;
            }
            if (serialFlash_ == SerialFlash::AwaitCommand && frame.size() == 3 &&
                frame[0] == kEsc && frame[1] == kFlashMode && frame[2] == kFlashCommandArgument) {
                trace("flash-mode command");
                // Confirmed at 9600 baud; from then on the reader listens at 57600.
                if (flashAnswer(at, kFlashCommandBaud) == kFlashAck) {
                    serialFlash_ = SerialFlash::AwaitSpeedCheck;
                }
                return;
            }
            if (serialFlash_ == SerialFlash::AwaitSpeedCheck && frame.size() == 1) {
                trace("speed check");
                if (flashAnswer(at, kFlashDataBaud) == kFlashAck) {
                    serialFlash_ = SerialFlash::Data;
                }
                return;
            }
            trace("ignored");
            return;
        case SerialFlash::Data:
            if (frame[1] == kFlashDataMark) {
                if (flashAnswer(at, kFlashDataBaud) == kFlashAck) {
                    noteImageFrame(at);
                    image_.push_back(frame[0]);
                }
                return;
            }
            if (frame[0] == kFlashEnd0 && frame[1] == kFlashEnd1) {
                if (flashAnswer(at, kFlashDataBaud) == kFlashAck) {
                    finishFlash();
                }
                return;
            }
            trace("bad flash frame refused");
            sendSerial(kFlashMode, {kFlashRefused}, at, kFlashDataBaud);
            return;
    }
}

void ReaderModel::placeIButton(std::span<const std::uint8_t> bytes, Duration now) {
    advance(now);
    if (gone_ || mode_ != Mode::Application || bytes.empty()) {
        return;
    }
    trace("iButton output");
    sendSerial(std::nullopt, Bytes(bytes.begin(), bytes.end()), now + config_.replyLatency,
               serialBaud(now));
}

void ReaderModel::placeIButtonId(std::string_view id, Duration now) {
    placeIButton(FormatIdOutput(settings_, id), now);
}

void ReaderModel::removeIButton(Duration now) {
    placeIButton(OnRemoveOutput(settings_), now);
}

}  // namespace rq::sim
