// The reader's USB side: output reports in, input reports out, and its USB flash mode.
#include <algorithm>
#include <string>

#include "ReaderModel.h"
#include "Replies.h"
#include "firmware/EraseCode.h"

namespace rq::sim {
namespace {

// A frame spread over several reports is dropped when its next report is this late.
constexpr Duration kFrameGap = std::chrono::milliseconds(500);

}  // namespace

bool ReaderModel::onUsbBus(Duration now) {
    advance(now);
    return !gone_ && !(mode_ == Mode::Rebooting && usbReboot_);
}

std::optional<Duration> ReaderModel::nextInputReportTime() const {
    if (usbOut_.empty()) {
        return std::nullopt;
    }
    return usbOut_.front().at;
}

std::optional<TimedReport> ReaderModel::takeInputReport() {
    if (usbOut_.empty()) {
        return std::nullopt;
    }
    TimedReport report = usbOut_.front();
    usbOut_.pop_front();
    return report;
}

void ReaderModel::replug(Duration now) {
    advance(now);
    ++busSession_;
    usbOut_.clear();
    usbFrame_.clear();
    if (mode_ == Mode::Flash) {
        usbFlash_ = UsbFlash::AwaitCommand;
        image_.clear();
    }
    trace("plugged in again");
}

void ReaderModel::dropInputReportsUntil(Duration time) {
    while (!usbOut_.empty() && usbOut_.front().at <= time) {
        usbOut_.pop_front();
    }
}

std::optional<std::size_t> ReaderModel::usbFrameLength(
    std::span<const std::uint8_t> payload) const {
    if (payload[0] == kEraseCommand) {
        return 1 + kEraseCode.size();
    }
    if (payload[0] != kEsc) {
        return std::nullopt;
    }
    if (payload[1] == kFlashMode) {
        return kReportPayload;
    }
    return ApplicationFrameLength(payload[1]);
}

bool ReaderModel::receiveOutputReport(std::span<const std::uint8_t> report, Duration now) {
    if (!onUsbBus(now)) {
        return false;
    }
    if (!admitFrame()) {
        return !gone_;
    }
    // The report ID is not part of the command; what follows the command is padding.
    std::array<std::uint8_t, kReportPayload> payload{};
    if (report.size() > 1) {
        std::copy_n(report.begin() + 1, std::min(report.size() - 1, kReportPayload),
                    payload.begin());
    }
    if (!usbFrame_.empty() && now - usbLastReport_ > kFrameGap) {
        trace("incomplete frame dropped");
        usbFrame_.clear();
    }
    usbLastReport_ = now;
    if (usbFrame_.empty()) {
        const auto length = usbFrameLength(payload);
        if (!length) {
            trace("report ignored");
            return true;
        }
        usbFrameLength_ = *length;
    }
    const std::size_t take = std::min(kReportPayload, usbFrameLength_ - usbFrame_.size());
    usbFrame_.insert(usbFrame_.end(), payload.begin(),
                     payload.begin() + static_cast<std::ptrdiff_t>(take));
    if (usbFrame_.size() == usbFrameLength_) {
        const Bytes frame = std::move(usbFrame_);
        usbFrame_.clear();
        handleFrame(frame, Link::Usb, now);
    }
    return true;
}

void ReaderModel::handleUsbFlashFrame(std::span<const std::uint8_t> frame, Duration now) {
    if (frame[0] == kEraseCommand) {
        erase(frame, Link::Usb, now);
        return;
    }
    // The host finds the reader again with its handshake, so flash mode answers it too.
    if (frame.size() >= 2 && frame[0] == kEsc && frame[1] == kIdentify) {
        trace("identify");
        reply(kIdentify, identifyAnswer(), Link::Usb, now);
        return;
    }
    if (frame.size() != kReportPayload || frame[0] != kEsc || frame[1] != kFlashMode) {
        trace("ignored");
        return;
    }
    const auto args = frame.subspan(2);
    const bool noArguments = std::all_of(args.begin(), args.end(), [](auto b) { return b == 0; });
    const auto confirmFlashMode = [&] {
        trace("flash-mode command");
        Bytes answer{kEsc, kFlashMode};
        answer.insert(answer.end(), config_.flashModeText.begin(), config_.flashModeText.end());
        answer.resize(kReportPayload, 0);
        reply(kFlashMode, answer, Link::Usb, now);
        usbFlash_ = UsbFlash::AwaitLength;
    };
    switch (usbFlash_) {
        case UsbFlash::AwaitCommand:
            if (noArguments) {
                confirmFlashMode();
            } else {
                trace("ignored");
            }
            return;
        case UsbFlash::AwaitLength: {
            if (noArguments) {
                confirmFlashMode();
                return;
            }
            if (args[0] != 0 || args[1] != 0 || args[4] != 0 || args[5] != 0) {
                trace("ignored");
                return;
            }
            announcedLength_ = static_cast<std::size_t>(args[2]) << 8 | args[3];
            image_.clear();
            trace("image length " + std::to_string(announcedLength_));
            Bytes answer(frame.begin(), frame.end());
            if (config_.lengthSecondReport) {
                answer.insert(answer.end(), {kEsc, kFlashMode, 'R', 'E', 'A', 'D', 'Y', 0});
            }
            reply(kFlashMode, answer, Link::Usb, now);
            usbFlash_ = UsbFlash::Data;
            return;
        }
        case UsbFlash::Data: {
            // The last block is padded; only the announced length is kept.
            const std::size_t take = std::min(args.size(), announcedLength_ - image_.size());
            noteImageFrame(now);
            image_.insert(image_.end(), args.begin(),
                          args.begin() + static_cast<std::ptrdiff_t>(take));
            reply(kFlashMode, Bytes(frame.begin(), frame.end()), Link::Usb, now);
            if (image_.size() == announcedLength_) {
                finishFlash();
            }
            return;
        }
    }
}

}  // namespace rq::sim
