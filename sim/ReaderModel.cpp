#include "ReaderModel.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include "Replies.h"
#include "SampleFirmware.h"
#include "firmware/EraseCode.h"

namespace rq::sim {
namespace {

// Interrupt reports leave the reader one per millisecond.
constexpr Duration kReportInterval = std::chrono::milliseconds(1);
// What a flooding reader sends, and in pieces of how many bytes on RS232.
constexpr std::uint8_t kJunk = 0x55;
constexpr std::size_t kJunkPiece = 16;

// True when the frame continues with exactly these bytes after ESC and its code.
bool Arguments(std::span<const std::uint8_t> frame, std::initializer_list<std::uint8_t> expected) {
    return frame.size() == 2 + expected.size() &&
           std::equal(expected.begin(), expected.end(), frame.begin() + 2);
}

// Ten bits per byte on the line: start, 8 data, stop.
Duration TransmissionTime(std::size_t bytes, int baud) {
    return std::chrono::duration_cast<Duration>(std::chrono::seconds(1)) *
           static_cast<std::int64_t>(bytes * 10) / baud;
}

}  // namespace

ReaderModel::ReaderModel(ReaderConfig config)
    : config_(std::move(config)), settings_(config_.settings) {}

void ReaderModel::advance(Duration now) {
    if (mode_ == Mode::Rebooting && !rebootForever_ && now >= rebootEnds_) {
        mode_ = Mode::Flash;
        usbFlash_ = UsbFlash::AwaitCommand;
        serialFlash_ = SerialFlash::AwaitCommand;
        trace("flash mode");
    }
}

Mode ReaderModel::mode(Duration now) {
    advance(now);
    return mode_;
}

bool ReaderModel::admitFrame() {
    if (faults_.vanishAfterFrames && frames_ >= *faults_.vanishAfterFrames) {
        gone_ = true;
        trace("gone");
        return false;
    }
    ++frames_;
    return !(faults_.silentAfterFrames && frames_ > *faults_.silentAfterFrames);
}

void ReaderModel::handleFrame(std::span<const std::uint8_t> frame, Link link, Duration now) {
    advance(now);
    switch (mode_) {
        case Mode::Application:
            handleApplicationFrame(frame, link, now);
            break;
        case Mode::Flash:
            if (link == Link::Usb) {
                handleUsbFlashFrame(frame, now);
            } else {
                handleSerialFlashFrame(frame, now);
            }
            break;
        case Mode::Rebooting:
            break;
    }
}

void ReaderModel::handleApplicationFrame(std::span<const std::uint8_t> frame, Link link,
                                         Duration now) {
    if (frame.front() == kEraseCommand) {
        erase(frame, link, now);
        return;
    }
    if (frame.size() < 2 || frame[0] != kEsc) {
        trace("ignored");
        return;
    }
    switch (frame[1]) {
        case kIdentify:
            trace("identify");
            reply(kIdentify, identifyAnswer(), link, now);
            return;
        case kReadVersion:
            trace("read version");
            reply(kReadVersion,
                  VersionReply(config_.version, config_.versionCrLf, faults_.versionLengthExcess),
                  link, now);
            return;
        case kReadSettings:
            if (Arguments(frame, {kBlockAddressHigh, kBlockAddressLow, kBlockLength})) {
                trace("read settings");
                reply(kReadSettings, SettingsReply(settings_), link, now);
                return;
            }
            break;
        case kWriteSettings:
            if (frame.size() == 5 + kSettingsSize && frame[2] == kBlockAddressHigh &&
                frame[3] == kBlockAddressLow && frame[4] == kBlockLength) {
                trace("write settings");
                // Acknowledged at the rate in force; a new rate applies afterwards.
                reply(kWriteSettings, WriteAcknowledgement(), link, now);
                std::copy(frame.begin() + 5, frame.end(), settings_.begin());
                if (faults_.storedByte && faults_.storedByte->index < kSettingsSize) {
                    settings_[faults_.storedByte->index] = faults_.storedByte->value;
                }
                return;
            }
            break;
        case kResetDefaults:
            if (Arguments(frame, {0x01, 0xFF})) {
                trace("reset to defaults");
                reply(kResetDefaults, ResetEcho(), link, now);
                settings_ = FactorySettings();
                return;
            }
            break;
        default:
            break;
    }
    trace("ignored");
}

void ReaderModel::erase(std::span<const std::uint8_t> frame, Link link, Duration now) {
    if (frame.size() != 1 + kEraseCode.size() ||
        !std::equal(kEraseCode.begin(), kEraseCode.end(), frame.begin() + 1)) {
        trace("erase refused: wrong code");
        return;
    }
    ++erases_;
    image_.clear();
    announcedLength_ = 0;
    flashComplete_ = false;
    flashAnswers_ = 0;
    mode_ = Mode::Rebooting;
    rebootForever_ = faults_.neverReconnect;
    usbReboot_ = link == Link::Usb;
    rebootEnds_ = now + (usbReboot_ ? config_.usbRebootTime : config_.serialRebootTime);
    usbFrame_.clear();
    if (usbReboot_) {
        ++busSession_;
        usbOut_.clear();
        trace("erased: off the bus while rebooting");
        return;
    }
    trace("erased: rebooting");
    if (!rebootForever_) {
        // After its reboot the reader announces flash mode at 9600 baud.
        flashAnswer(rebootEnds_, 9600);
    }
}

Bytes ReaderModel::identifyAnswer() const {
    return faults_.identifyReply.value_or(IdentifyReply(config_.revision));
}

void ReaderModel::noteImageFrame(Duration now) {
    if (image_.empty()) {
        firstImageFrame_ = now;
    }
    lastImageFrame_ = now;
}

void ReaderModel::finishFlash() {
    flashComplete_ = true;
    mode_ = Mode::Application;
    // The new program reports its own version.
    if (auto version = FirmwareVersionOf(image_)) {
        config_.version = std::move(*version);
    }
    trace("flash complete: " + std::to_string(image_.size()) + " bytes");
}

bool ReaderModel::faultsHit(std::optional<std::uint8_t> command) const {
    return command && (!faults_.onlyCommand || *faults_.onlyCommand == *command);
}

void ReaderModel::reply(std::uint8_t command, Bytes reply, Link link, Duration now) {
    const Duration at = now + config_.replyLatency;
    if (link == Link::Usb) {
        sendReports(command, ToReports(reply), at);
    } else {
        sendSerial(command, std::move(reply), at, serialBaud(now));
    }
}

void ReaderModel::sendReports(std::uint8_t command, Bytes reports, Duration at) {
    if (faultsHit(command)) {
        at += faults_.extraLatency;
        if (faults_.wrongByte && faults_.wrongByte->index < reports.size()) {
            reports[faults_.wrongByte->index] = faults_.wrongByte->value;
        }
        if (faults_.shortReply && *faults_.shortReply < reports.size()) {
            const std::size_t kept = (*faults_.shortReply + kReportSize - 1) / kReportSize;
            std::fill(reports.begin() + static_cast<std::ptrdiff_t>(*faults_.shortReply),
                      reports.end(), 0);
            reports.resize(kept * kReportSize);
        }
        if (faults_.replyTwice) {
            const std::size_t once = reports.size();
            reports.reserve(2 * once);
            for (std::size_t i = 0; i < once; ++i) {
                reports.push_back(reports[i]);
            }
        }
    }
    const auto queue = [this](const TimedReport& report) {
        const auto later = std::upper_bound(
            usbOut_.begin(), usbOut_.end(), report.at,
            [](Duration time, const TimedReport& queued) { return time < queued.at; });
        usbOut_.insert(later, report);
    };
    if (faultsHit(command)) {
        // Junk first, so that a reply report due at the same moment comes after it.
        TimedReport junk;
        junk.bytes.fill(kJunk);
        junk.bytes[0] = 0;
        for (Duration t{}; t < faults_.flood; t += kReportInterval) {
            junk.at = at + t;
            queue(junk);
        }
    }
    for (std::size_t start = 0; start + kReportSize <= reports.size(); start += kReportSize) {
        TimedReport report;
        report.at = at + kReportInterval * static_cast<std::int64_t>(start / kReportSize);
        std::copy_n(reports.begin() + static_cast<std::ptrdiff_t>(start), kReportSize,
                    report.bytes.begin());
        queue(report);
    }
}

void ReaderModel::sendSerial(std::optional<std::uint8_t> command, Bytes bytes, Duration at,
                             int baud) {
    if (baud == 0) {
        return;
    }
    std::size_t firstPiece = bytes.size();
    Duration gap{};
    Duration floodStart = at;
    if (faultsHit(command)) {
        at += faults_.extraLatency;
        floodStart = at;
        if (faults_.flood > Duration::zero()) {
            at += TransmissionTime(kJunkPiece, baud);  // the line is busy with junk first
        }
        if (faults_.wrongByte && faults_.wrongByte->index < bytes.size()) {
            bytes[faults_.wrongByte->index] = faults_.wrongByte->value;
        }
        if (faults_.shortReply && *faults_.shortReply < bytes.size()) {
            bytes.resize(*faults_.shortReply);
        }
        if (faults_.splitReply && faults_.splitReply->firstBytes < bytes.size()) {
            firstPiece = faults_.splitReply->firstBytes;
            gap = faults_.splitReply->gap;
        }
        if (faults_.replyTwice) {
            // Sent again as a piece of its own right after the first.
            firstPiece = std::min(firstPiece, bytes.size());
            const std::size_t once = bytes.size();
            bytes.reserve(2 * once);
            for (std::size_t i = 0; i < once; ++i) {
                bytes.push_back(bytes[i]);
            }
        }
    }
    const auto line = [&](std::size_t count) {
        return config_.lineTime ? TransmissionTime(count, baud) : Duration{};
    };
    const auto queue = [&](SerialChunk chunk) {
        const auto later = std::upper_bound(
            serialOut_.begin(), serialOut_.end(), chunk.at,
            [](Duration time, const SerialChunk& queued) { return time < queued.at; });
        serialOut_.insert(later, std::move(chunk));
    };
    if (faultsHit(command)) {
        for (std::size_t sent = kJunkPiece; TransmissionTime(sent, baud) <= faults_.flood;
             sent += kJunkPiece) {
            queue({floodStart + TransmissionTime(sent, baud), baud, Bytes(kJunkPiece, kJunk)});
        }
    }
    if (bytes.empty()) {
        return;
    }
    if (firstPiece > 0 && firstPiece < bytes.size()) {
        queue({at + line(firstPiece), baud,
               Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(firstPiece))});
        queue({at + line(bytes.size()) + gap, baud,
               Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(firstPiece), bytes.end())});
        return;
    }
    queue({at + line(bytes.size()), baud, std::move(bytes)});
}

std::uint8_t ReaderModel::flashAnswer(Duration at, int baud) {
    std::uint8_t answer = kFlashAck;
    if (faults_.flashAck && faults_.flashAck->answer == flashAnswers_) {
        answer = faults_.flashAck->value;
    }
    if (faults_.lateFlashAnswer && faults_.lateFlashAnswer->answer == flashAnswers_) {
        at += faults_.lateFlashAnswer->delay;
    }
    ++flashAnswers_;
    sendSerial(kFlashMode, {answer}, at, baud);
    return answer;
}

void ReaderModel::trace(std::string_view text) const {
    if (trace_) {
        trace_(text);
    }
}

}  // namespace rq::sim
