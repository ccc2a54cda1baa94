#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "SimTypes.h"

namespace rq::sim {

// What can go wrong with a reader, for tests and demonstrations. A frame is one output
// report on USB and one complete command frame on RS232.
struct Faults {
    // The reply faults (wrongByte to flood) touch only the replies to this command code
    // (0x00 identify, 0x01 version, 0x1C read settings, 0x1D write settings, 0x21 reset,
    // 0xA8 flash mode); every reply when unset.
    std::optional<std::uint8_t> onlyCommand;

    // The reader takes this many frames and then ignores everything: no effect, no reply.
    std::optional<int> silentAfterFrames;
    // The reader takes this many frames and is gone when the next one comes: it leaves
    // the USB bus for good, or its serial adapter is unplugged.
    std::optional<int> vanishAfterFrames;

    // USB readers on the machine's bus (rq4720-sim --usb): after this many frames the
    // cable is pulled, and put back a second later.
    std::optional<int> unplugAfterFrames;

    // One reply byte replaced, counted as on the wire: on USB the input reports back to
    // back, report IDs included (the write acknowledgement's 0xAA is byte 6); on RS232
    // the bytes as sent.
    struct ByteChange {
        std::size_t index = 0;
        std::uint8_t value = 0;
    };
    std::optional<ByteChange> wrongByte;
    // Only the first k bytes of a reply, counted as for wrongByte (on USB the rest of a
    // cut report is zero and later reports are not sent).
    std::optional<std::size_t> shortReply;
    // Added to the reader's reply latency.
    Duration extraLatency{};
    // RS232: the first k bytes of a reply, then the rest after a gap.
    struct Split {
        std::size_t firstBytes = 0;
        Duration gap{};
    };
    std::optional<Split> splitReply;
    // The reply goes out twice, back to back.
    bool replyTwice = false;
    // A reader gone wild: from the moment its reply leaves, it sends junk (0x55) for this
    // long at full speed (USB: a report a millisecond; RS232: back to back at the line
    // rate), mixed with its replies.
    Duration flood{};

    // Replaces the answer to the identify command (USB handshake, RS232 probe) by these
    // bytes, sent as one piece; e.g. an 11-byte probe answer.
    std::optional<Bytes> identifyReply;
    // A write is acknowledged, yet this byte of the block (from 0) is stored as given
    // here: a reader whose memory keeps something else.
    std::optional<ByteChange> storedByte;
    // The version reply's length byte announces this many more text bytes than follow.
    int versionLengthExcess = 0;
    // After an erase the reader never comes back (no USB reconnect, no RS232 ready byte).
    bool neverReconnect = false;

    // RS232 flash path: answer k carries this byte instead of 0xFA. Answers are counted
    // from the erase: 0 the ready byte after the reboot, 1 the flash-mode command, 2 the
    // speed check, 3 + i data byte i, then the end of the image.
    struct FlashAnswer {
        int answer = 0;
        std::uint8_t value = 0;
    };
    std::optional<FlashAnswer> flashAck;
    // RS232 flash path: answer k (counted as for flashAck) leaves this much later, as from
    // a reader slow to store one byte.
    struct LateAnswer {
        int answer = 0;
        Duration delay{};
    };
    std::optional<LateAnswer> lateFlashAnswer;
};

}  // namespace rq::sim
