#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Faults.h"
#include "ReaderConfig.h"
#include "SimTypes.h"

namespace rq::sim {

enum class Mode { Application, Rebooting, Flash };

// An input report on its way to the host: it can be read from `at` on.
struct TimedReport {
    Duration at{};
    Report bytes{};
};

// Bytes the reader sends on RS232 at `baud`; they have all arrived at `at`.
struct SerialChunk {
    Duration at{};
    int baud = 0;
    Bytes bytes;
};

// One RQ-4720 reader as seen from its wires: USB output and input reports, and the RS232
// byte stream. Front ends hand it what the host sent, with the time it arrived, and
// collect what it sends back, stamped with the time it is there. Time comes from the
// front end; the model never reads a clock.
class ReaderModel {
  public:
    explicit ReaderModel(ReaderConfig config = {});

    // --- USB
    // One output report (report ID first) arriving at `now`. False when the reader is not
    // there to take it (gone, or off the bus while rebooting).
    bool receiveOutputReport(std::span<const std::uint8_t> report, Duration now);
    [[nodiscard]] bool onUsbBus(Duration now);
    // Changes every time the reader leaves the bus; handles of an earlier session are dead.
    [[nodiscard]] std::uint64_t busSession() const { return busSession_; }
    [[nodiscard]] std::optional<Duration> nextInputReportTime() const;
    std::optional<TimedReport> takeInputReport();
    // Plugged in again after its cable was pulled: what was on its way is lost, and a
    // reader caught in its flash loader starts that afresh (its program stays erased).
    void replug(Duration now);
    // Reports that were sent while no host listened are lost.
    void dropInputReportsUntil(Duration time);

    // --- RS232
    // Bytes whose last one arrives at `now`; the front end delivers only what the reader
    // can hear (its line at serialBaud()). False when the reader has gone.
    bool receiveSerial(std::span<const std::uint8_t> bytes, Duration now);
    // The rate the reader listens and talks at; 0 while it hears nothing.
    [[nodiscard]] int serialBaud(Duration now);
    [[nodiscard]] std::optional<Duration> nextSerialOutputTime() const;
    // Everything sent that has arrived by `until`, oldest first.
    std::vector<SerialChunk> takeSerialOutput(Duration until);
    // An iButton touches the reader: in application mode it sends these bytes on RS232.
    void placeIButton(std::span<const std::uint8_t> bytes, Duration now);
    // The same with the ID formatted as the settings say (prefix, part, postfix,
    // delimiter); then, on removal, the on-remove characters.
    void placeIButtonId(std::string_view id, Duration now);
    void removeIButton(Duration now);

    // --- USB keyboard
    // The reader on USB is also a keyboard: the characters it types when an iButton with
    // this ID is placed and taken away again, as the settings say. None while it is off
    // the bus or not in its application.
    [[nodiscard]] Bytes typedForIButtonId(std::string_view id, Duration now);

    // --- State, for tests and the program
    [[nodiscard]] Mode mode(Duration now);
    [[nodiscard]] Revision revision() const { return config_.revision; }
    [[nodiscard]] const SettingsBlock& settings() const { return settings_; }
    void setSettings(const SettingsBlock& block) { settings_ = block; }
    // The image received by the last flash, so far.
    [[nodiscard]] const Bytes& image() const { return image_; }
    [[nodiscard]] bool flashComplete() const { return flashComplete_; }
    // From the first image frame of the last flash to its last one, as the reader saw
    // them: the transfer's own time, without the search, erase and restart.
    [[nodiscard]] Duration imageTime() const { return lastImageFrame_ - firstImageFrame_; }
    // The length announced on USB (0 before the length report).
    [[nodiscard]] std::size_t announcedLength() const { return announcedLength_; }
    [[nodiscard]] int framesReceived() const { return frames_; }
    [[nodiscard]] int erases() const { return erases_; }
    // Unplugged: gone from USB and from its serial line for good.
    void vanish() { gone_ = true; }
    [[nodiscard]] bool gone() const { return gone_; }

    [[nodiscard]] Faults& faults() { return faults_; }
    [[nodiscard]] const ReaderConfig& config() const { return config_; }
    // One short line per frame the reader handles, for people watching it.
    void setTrace(std::function<void(std::string_view)> trace) { trace_ = std::move(trace); }

  private:
    enum class Link { Usb, Serial };
    enum class UsbFlash { AwaitCommand, AwaitLength, Data };
    enum class SerialFlash { AwaitCommand, AwaitSpeedCheck, Data };

    void advance(Duration now);
    // Counts a frame; false when the reader vanishes with it or stays silent.
    bool admitFrame();
    void handleFrame(std::span<const std::uint8_t> frame, Link link, Duration now);
    void handleApplicationFrame(std::span<const std::uint8_t> frame, Link link, Duration now);
    void handleUsbFlashFrame(std::span<const std::uint8_t> frame, Duration now);
    void handleSerialFlashFrame(std::span<const std::uint8_t> frame, Duration now);
    void erase(std::span<const std::uint8_t> frame, Link link, Duration now);
    [[nodiscard]] Bytes identifyAnswer() const;
    void finishFlash();
    void noteImageFrame(Duration now);

    // Frame length from its first bytes: 0 = need more bytes, nullopt = not a frame start.
    [[nodiscard]] std::optional<std::size_t> usbFrameLength(std::span<const std::uint8_t>) const;
    [[nodiscard]] std::optional<std::size_t> serialFrameLength(
        std::span<const std::uint8_t> bytes) const;

    void reply(std::uint8_t command, Bytes reply, Link link, Duration now);
    void sendReports(std::uint8_t command, Bytes reports, Duration at);
    void sendSerial(std::optional<std::uint8_t> command, Bytes bytes, Duration at, int baud);
    // Answers a frame of the RS232 flash path; returns the byte actually sent.
    std::uint8_t flashAnswer(Duration at, int baud);
    [[nodiscard]] bool faultsHit(std::optional<std::uint8_t> command) const;
    void trace(std::string_view text) const;

    ReaderConfig config_;
    Faults faults_;
    SettingsBlock settings_;

    Mode mode_ = Mode::Application;
    Duration rebootEnds_{};
    bool rebootForever_ = false;
    std::uint64_t busSession_ = 0;
    bool usbReboot_ = false;  // the last reboot left the USB bus
    UsbFlash usbFlash_ = UsbFlash::AwaitCommand;
    SerialFlash serialFlash_ = SerialFlash::AwaitCommand;
    int flashAnswers_ = 0;

    Bytes image_;
    std::size_t announcedLength_ = 0;
    bool flashComplete_ = false;
    Duration firstImageFrame_{};
    Duration lastImageFrame_{};

    int frames_ = 0;
    int erases_ = 0;
    bool gone_ = false;

    Bytes usbFrame_;  // a frame spread over several reports
    std::size_t usbFrameLength_ = 0;
    Duration usbLastReport_{};
    Bytes serialRx_;  // bytes of an incomplete frame
    Duration serialLastByte_{};

    std::deque<TimedReport> usbOut_;
    std::deque<SerialChunk> serialOut_;
    std::function<void(std::string_view)> trace_;
};

}  // namespace rq::sim
