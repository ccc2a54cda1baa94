// Feeds arbitrary traffic to the simulated reader on both links, as the tool, a broken
// cable or a hostile program could: the reader never reads past a frame, never answers
// with a report of the wrong size, and its settings block and image stay in bounds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "ReaderModel.h"

namespace {

using rq::fuzz::Require;
using namespace std::chrono_literals;

}  // namespace

// Input: one byte of flags (bit 0 revision A, bit 1 replies twice, bit 2 floods), then chunks: a
// length byte (bit 7 set: a USB output report of the following 8 bytes; clear: that many serial
// bytes) and a time step of 1 to 256 ms before the chunk.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    rq::sim::ReaderConfig config;
    config.revision = (data[0] & 1) != 0 ? rq::sim::Revision::A : rq::sim::Revision::B;
    rq::sim::ReaderModel reader(config);
    // Replies twice, or with a flood ahead of them: the queues stay in time order.
    reader.faults().replyTwice = (data[0] & 2) != 0;
    reader.faults().flood = (data[0] & 4) != 0 ? rq::sim::Duration(20ms) : rq::sim::Duration{};

    std::span<const std::uint8_t> rest(data + 1, size - 1);
    rq::sim::Duration now{};
    while (rest.size() >= 2) {
        const std::uint8_t head = rest[0];
        now += std::chrono::milliseconds(rest[1] + 1);
        rest = rest.subspan(2);
        if ((head & 0x80) != 0) {
            rq::sim::Report report{};
            const std::size_t n = std::min(rest.size(), rq::sim::kReportPayload);
            std::copy_n(rest.begin(), n, report.begin() + 1);
            rest = rest.subspan(n);
            (void)reader.receiveOutputReport(report, now);
        } else {
            const std::size_t n = std::min<std::size_t>(rest.size(), head);
            if (reader.serialBaud(now) != 0) {
                (void)reader.receiveSerial(rest.first(n), now);
            }
            rest = rest.subspan(n);
        }
        while (const auto report = reader.takeInputReport()) {
            Require(report->bytes[0] == 0);  // the reader's reports are unnumbered
        }
        rq::sim::Duration last{};
        for (const rq::sim::SerialChunk& chunk : reader.takeSerialOutput(now + 10s)) {
            Require(chunk.baud > 0 && chunk.at <= now + 10s && chunk.at >= last);
            last = chunk.at;
        }
    }
    Require(reader.image().size() <= size);  // every image byte came in with the input
    return 0;
}
