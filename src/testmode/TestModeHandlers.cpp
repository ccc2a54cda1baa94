// The two handlers of the communication test: keys typed into the status log (USB test)
// and the serial port's receive notification (RS232 test). Both draw what comes as it
// comes, control characters included, and keep the output inside the status area by
// the print position.
#include <algorithm>
#include <string>

#include "core/Text.h"
#include "testmode/CommunicationTest.h"

namespace rq {
namespace {

constexpr std::string_view kPortFailed = "Serial port error, Test abort!";

// Twips: a line ends past this horizontal position; the area is cleared past the
// vertical one (the serial output goes a little lower and starts one line down).
constexpr int kWrapBeyondX = 7352;
constexpr int kKeysClearBeyondY = 2400;
constexpr int kBytesClearBeyondY = 2500;

void WrapAtRightEdge(StatusLog& log) {
    if (log.printPosition().x > kWrapBeyondX) {
        log.appendEmptyLine();
    }
}

}  // namespace

void StatusLogKeyPressed(OperationContext& ctx, char32_t character) {
    if (ctx.state.LinkStatus != LinkState::Usb) {
        return;
    }
    WrapAtRightEdge(ctx.log);
    if (ctx.log.printPosition().y > kKeysClearBeyondY) {
        ctx.log.clear();
    }
    ctx.log.appendPiece(text::ToUtf8(character));
}

Outcome SerialReceived(OperationContext& ctx) {
    // A port closed after a failure has nothing more to tell; a notification already on
    // its way must not repeat the failure line.
    if (ctx.state.LinkStatus != LinkState::Test232 || !ctx.serial.isOpen()) {
        return Outcome::Done;
    }
    WrapAtRightEdge(ctx.log);
    if (ctx.log.printPosition().y > kBytesClearBeyondY) {
        ctx.log.clear();
        ctx.log.appendEmptyLine();
    }

    // Everything taken from the port is drawn: the count of waiting bytes is not read
    // first, as bytes arriving between the two reads would be taken but never shown.
    std::vector<std::uint8_t>& bytes = ctx.state.SerialIn;
    const SerialFailure read = ctx.serial.input(bytes);
    // A failing port still hands out what it had taken before: that is shown first.
    std::u32string characters(bytes.size(), U'\0');
    std::transform(bytes.begin(), bytes.end(), characters.begin(), text::Cp1252ToCodePoint);
    ctx.log.appendCharacters(characters);
    if (read != SerialFailure::None) {
        // The adapter was pulled: stop reading at once. The window stays locked until
        // "End Test", which unlocks it as usual.
        ctx.serial.close();
        if (ctx.log.printPosition().x > 0) {
            ctx.log.appendEmptyLine();
        }
        ctx.log.appendLine(kPortFailed);
        ctx.log.repaint();
        return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace rq
