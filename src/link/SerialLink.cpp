#include "link/SerialLink.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "core/Text.h"

namespace rq {
namespace {

// The serial search tries the reader's rates in this order.
constexpr std::array<int, 4> kSearchBaudCodes = {0, 6, 8, 9};
constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;

constexpr std::array<std::uint8_t, 2> kProbe = {0x1B, 0x00};
constexpr int kProbeAnswerLength = 10;
constexpr double kProbeWaitSeconds = 0.2;
constexpr double kPauseSeconds = 0.5;

// Longest time spent blocked in the OS between two looks at the window, as the clock's
// own slices; bytes end the block at once, whatever its length.
constexpr Clock::Duration kWaitSlice = std::chrono::milliseconds(40);

bool HoldsReaderName(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    static constexpr std::array<std::uint8_t, 4> kName = {'4', '7', '2', '0'};
    return bytes.size() >= from + kName.size() &&
           std::equal(kName.begin(), kName.end(), bytes.begin() + static_cast<long>(from));
}

}  // namespace

std::string PortSettingsFor(int baudCode) {
    return std::string(BaudNames.at(static_cast<std::size_t>(baudCode))) + ",n,8,1";
}

SerialFailure WaitSerialBytes(OperationContext& ctx, int count, double seconds) {
    ProgramState& s = ctx.state;
    s.SerialIn.clear();
    s.SerialReplyReceived = 0;
    const Clock::Duration deadline = ctx.clock.now() + SecondsToDuration(seconds);
    for (;;) {
        const Clock::Duration now = ctx.clock.now();
        if (now >= deadline) {
            return SerialFailure::None;
        }
        int waiting = 0;
        if (const SerialFailure failure = ctx.serial.inBufferCount(waiting);
            failure != SerialFailure::None) {
            return failure;
        }
        if (waiting == count) {
            const SerialFailure failure = ctx.serial.input(s.SerialIn);
            if (failure != SerialFailure::None) {
                s.SerialIn.clear();
                return failure;
            }
            s.SerialReplyReceived = 1;
            return SerialFailure::None;
        }
        ctx.clock.keepAlive();
        ctx.serial.waitForInput(std::min(deadline - ctx.clock.now(), kWaitSlice));
    }
}

SerialFailure ReadSerialAfterPause(OperationContext& ctx) {
    ProgramState& s = ctx.state;
    ctx.clock.sleepUntil(ctx.clock.now() + SecondsToDuration(kPauseSeconds));
    s.SerialIn.clear();
    s.SerialInText.clear();
    const SerialFailure failure = ctx.serial.input(s.SerialIn);
    if (failure != SerialFailure::None) {
        s.SerialIn.clear();
    }
    // Two bytes to a character, the even byte in the low half; an odd last byte is dropped.
    for (std::size_t i = 0; i + 1 < s.SerialIn.size(); i += 2) {
        s.SerialInText.push_back(static_cast<char16_t>(s.SerialIn[i] | (s.SerialIn[i + 1] << 8)));
    }
    return failure;
}

void delay(OperationContext& ctx, int seconds) {
    ctx.clock.sleepUntil(ctx.clock.now() + SecondsToDuration(seconds));
}

void Loopcom(OperationContext& ctx) {
    ProgramState& s = ctx.state;
    SerialPort& port = ctx.serial;
    if (port.isOpen()) {
        port.close();
    }
    // Every failing port operation from here on is skipped; a port that does not open
    // or does not answer is simply passed over.
    (void)port.setSettings(PortSettingsFor(s.SearchBaudCode));
    port.setInputMode(1);
    s.SerialReaderFound = 0;

    // A port that stands for one place beyond COM16 has that number tried alone.
    const int beyond = port.placeBeyondSearch();
    const int first = beyond != 0 ? beyond : kFirstPort;
    const int last = beyond != 0 ? beyond : kLastPort;
    for (int number = first; number <= last; ++number) {
        port.setCommPort(number);
        port.discardInput();
        port.discardOutput();
        (void)port.open();
        if (!port.isOpen()) {
            continue;
        }
        (void)port.output(s.SerialOut);
        (void)WaitSerialBytes(ctx, kProbeAnswerLength, kProbeWaitSeconds);
        if (s.SerialReplyReceived == 1) {
            if (HoldsReaderName(s.SerialIn, 3)) {
                s.ReaderRevision = true;
                s.SerialReaderFound = number;
                return;
            }
            if (HoldsReaderName(s.SerialIn, 6)) {
                s.ReaderRevision = false;
                s.SerialReaderFound = number;
                return;
            }
        }
        port.close();
    }
}

void SearchSerialReader(OperationContext& ctx) {
    ProgramState& s = ctx.state;
    if (ctx.serial.isOpen()) {
        ctx.serial.close();
    }
    ctx.log.repaintWindow();
    ctx.log.appendLine("Searching COM 1~16 for 4720... ");
    ctx.log.repaint();

    s.SerialOut.assign(kProbe.begin(), kProbe.end());
    for (int code : kSearchBaudCodes) {
        s.SearchBaudCode = code;
        Loopcom(ctx);
        if (s.SerialReaderFound != 0) {
            break;
        }
    }

    if (s.SerialReaderFound == 0) {
        ctx.log.appendLine("Can not find 4720 at com 1~16 with all baud rate!");
        ctx.log.repaint();
        return;
    }
    ctx.log.appendPiece(s.ReaderRevision ? "Found NEW 4720B RS232 at com: "
                                         : "Found 4720A RS232 at com: ");
    ctx.log.appendLine(text::DecimalWithBlank(s.SerialReaderFound) + " Baud: " +
                       std::string(BaudNames.at(static_cast<std::size_t>(s.SearchBaudCode))));
    ctx.log.repaint();
}

}  // namespace rq
