#include "firmware/SerialFlash.h"

#include <array>
#include <span>
#include <string>

#include "core/Text.h"
#include "firmware/FlashFrames.h"
#include "link/SerialLink.h"

namespace rq {
namespace {

constexpr std::string_view kCommandSettings = "9600,n,8,1";
constexpr std::string_view kDataSettings = "57600,n,8,1";
constexpr int kAnswerBytes = 1;
constexpr double kRebootSeconds = 6;
constexpr double kCommandSeconds = 1;
constexpr double kDataSeconds = 2;

// Thrown to end the stage at once; the line saying why is already written.
struct Abort {};

class SerialFlashRun {
  public:
    explicit SerialFlashRun(OperationContext& ctx) : ctx_(ctx) {}

    void line(std::string_view text) {
        ctx_.log.appendLine(text);
        ctx_.log.repaint();
    }
    void piece(std::string_view text) {
        ctx_.log.appendPiece(text);
        ctx_.log.repaint();
    }

    // A port that fails (adapter pulled, write or read error) ends the stage at once,
    // before any timeout or answer line.
    void portStep(SerialFailure outcome) {
        if (outcome != SerialFailure::None) {
            line("Serial port error, Flash abort!");
            throw Abort{};
        }
    }
    void settings(std::string_view text) { portStep(ctx_.serial.setSettings(text)); }
    void send(std::span<const std::uint8_t> frame) {
        ctx_.state.SerialOut.assign(frame.begin(), frame.end());
        portStep(ctx_.serial.output(ctx_.state.SerialOut));
    }
    // Waits for the one answer byte and checks it.
    void answer(double seconds) {
        portStep(WaitSerialBytes(ctx_, kAnswerBytes, seconds));
        CheckDeviceAck();
    }
    void frame(std::span<const std::uint8_t> bytes, double seconds) {
        send(bytes);
        answer(seconds);
    }

  private:
    void CheckDeviceAck() {
        const ProgramState& s = ctx_.state;
        if (s.SerialReplyReceived == 0) {
            line("Receive device ACK timeout, Flash abort!");
            throw Abort{};
        }
        const std::uint8_t byte = s.SerialIn.at(0);
        if (byte == kFlashCompareError) {
            line("Data compare error after write, please try again ...");
            throw Abort{};
        }
        if (byte != kFlashAck) {
            line("[" + text::Hex(byte) + "] ACK receive error, Flash abort! ");
            throw Abort{};
        }
    }

    OperationContext& ctx_;
};

void Flash(OperationContext& ctx, SerialFlashRun& run, FlashProgress* progress) {
    run.line("Erase 4720B program memory ...");
    run.send(EraseRequest());
    delay(ctx, 1);
    run.piece("Waiting for 4720B reboot ...");
    run.settings(kCommandSettings);
    run.answer(kRebootSeconds);

    run.line(" Ready!");
    run.piece("Firmware update command to 4720B ...");
    run.frame(kSerialFlashModeCommand, kCommandSeconds);
    run.line(" Confirm!");

    run.settings(kDataSettings);
    run.frame(kSpeedCheck, kCommandSeconds);
    run.line("RS232 protocol OK!");
    run.line("Firmware updating via RS232 Please Wait ...");
    const int length = ctx.state.FirmwareLength;
    run.piece("Total" + text::DecimalWithBlank(length) + " Bytes. Writing:");
    if (progress != nullptr) {
        progress->imageBytesSent(0, length);
    }

    for (int i = 1; i <= length; ++i) {
        const std::array<std::uint8_t, 2> data = {
            ctx.state.FirmwareImage.at(static_cast<std::size_t>(i - 1)), kDataMark};
        run.frame(data, kDataSeconds);
        if (progress != nullptr) {
            progress->imageBytesSent(i, length);
        } else if (i % kSerialDotBytes == 0) {
            run.piece(".");
        }
    }
    run.frame(kEndOfImage, kDataSeconds);
    ctx.log.appendEmptyLine();
    run.line("4720B firmware update Finished!");
}

}  // namespace

Outcome FlashOverSerial(OperationContext& ctx, FlashProgress* progress) {
    ProgramState& s = ctx.state;
    SearchSerialReader(ctx);
    if (s.SerialReaderFound == 0) {
        // The search has said that no reader answered; the revision left by an earlier
        // search (or cleared by the failed USB handshake) says nothing about this one.
        s.LinkStatus = LinkState::Empty;
        return Outcome::NotFound;
    }
    Outcome outcome = Outcome::Failed;
    if (!s.ReaderRevision) {
        ctx.log.appendLine("RQ-4720 RS232 not support firmware update (only new 4720B)!");
        ctx.log.repaint();
    } else {
        SerialFlashRun run(ctx);
        try {
            Flash(ctx, run, progress);
            outcome = Outcome::Done;
        } catch (const Abort&) {
            // The line is written; nothing more is sent.
        }
    }
    if (ctx.serial.isOpen()) {
        ctx.serial.close();
    }
    s.LinkStatus = LinkState::Empty;
    return outcome;
}

}  // namespace rq
