#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "protocol/UsbFrames.h"

namespace rq {
namespace {

SettingsBlock CountingBlock() {
    SettingsBlock b{};
    std::iota(b.begin(), b.end(), std::uint8_t{100});  // Bn = 100 + n
    return b;
}

TEST(WriteSettingsFrames, FiveReportsCarryHeaderAndBlockInOrder) {
    const auto reports = WriteSettingsReports(CountingBlock());
    const std::array<Report, 5> expected = {{
        {0, 27, 29, 0, 16, 31, 100, 101, 102},
        {0, 103, 104, 105, 106, 107, 108, 109, 110},
        {0, 111, 112, 113, 114, 115, 116, 117, 118},
        {0, 119, 120, 121, 122, 123, 124, 125, 126},
        {0, 127, 128, 129, 130, 0, 0, 0, 0},
    }};
    EXPECT_EQ(reports, expected);
}

TEST(WriteSettingsFrames, SerialCommandIsHeaderThenBlock) {
    const WriteSettingsCommand command = MakeWriteSettingsCommand(CountingBlock());
    EXPECT_EQ(command.size(), 36u);
    EXPECT_EQ(std::vector<std::uint8_t>(command.begin(), command.begin() + 6),
              (std::vector<std::uint8_t>{27, 29, 0, 16, 31, 100}));
    EXPECT_EQ(command.back(), 130);
}

TEST(CommandReports, ShortCommandFitsOneZeroPaddedReport) {
    const std::array<std::uint8_t, 4> reset = {27, 33, 1, 255};
    const auto reports = CommandReports(reset);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], (Report{0, 27, 33, 1, 255, 0, 0, 0, 0}));
    EXPECT_EQ(CommandReports(kReadSettingsRequest).size(), 1u);
}

TEST(ReplyBuffers, KeepSentCommandCopiesAllNineBytes) {
    ProgramState state;
    state.SentCopy.fill(0xEE);
    state.OutReport = {0, 27, 33, 1, 255, 0, 0, 0, 0};
    KeepSentCommand(state);
    EXPECT_EQ(state.SentCopy, (Report{0, 27, 33, 1, 255, 0, 0, 0, 0}));
}

TEST(ReplyBuffers, ClearInBufferZeroesAllOfIt) {
    ProgramState state;
    state.InBuffer.fill(0x5A);
    ClearInBuffer(state);
    EXPECT_TRUE(std::all_of(state.InBuffer.begin(), state.InBuffer.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST(ReplyBuffers, ExpectedAcknowledgementFillsSevenBytes) {
    ProgramState state;
    state.SentCopy.fill(0xEE);
    ExpectWriteAcknowledgement(state);
    EXPECT_EQ(state.SentCopy, (Report{0, 27, 29, 0, 16, 1, 170, 0xEE, 0xEE}));
}

TEST(UsbReplyCheck, ComparesOnlyUpToTheLastIndex) {
    ProgramState state;
    state.SentCopy = {0, 27, 33, 1, 255, 0, 0, 0, 0};
    state.InBuffer.fill(0);
    std::copy(state.SentCopy.begin(), state.SentCopy.begin() + 5, state.InBuffer.begin());
    state.InBuffer[5] = 9;  // past the reset echo's last index 4
    EXPECT_TRUE(UsbReplyMatches(state, kResetEchoLastIndex));
    EXPECT_FALSE(UsbReplyMatches(state, 5));

    for (std::size_t i = 0; i <= kResetEchoLastIndex; ++i) {
        ProgramState changed = state;
        changed.InBuffer[i] ^= 1;
        EXPECT_FALSE(UsbReplyMatches(changed, kResetEchoLastIndex)) << i;
    }
    // A last index beyond the copy compares the whole copy, never past it.
    EXPECT_FALSE(UsbReplyMatches(state, 200));
}

TEST(UsbReplyCheck, ReportPayloadsLeaveOutReportIds) {
    ProgramState state;
    std::iota(state.InBuffer.begin(), state.InBuffer.end(), std::uint8_t{0});
    const auto payload = ReportPayloads(state, 5);
    ASSERT_EQ(payload.size(), 40u);
    EXPECT_EQ(payload.front(), 1);
    EXPECT_EQ(payload[8], 10);  // index 9 is report 1's ID
    EXPECT_EQ(payload.back(), 44);
    EXPECT_EQ(ReportPayloads(state, 50).size(), 72u);  // never past the buffer
}

TEST(SerialReplyCheck, NeedsAllExpectedBytes) {
    const std::vector<std::uint8_t> ack = {27, 29, 0, 16, 1, 170};
    EXPECT_TRUE(StartsWith(ack, kWriteAcknowledgement));
    EXPECT_FALSE(
        StartsWith(std::vector<std::uint8_t>{27, 29, 0, 16, 0, 170}, kWriteAcknowledgement));
    EXPECT_FALSE(StartsWith(std::vector<std::uint8_t>{27, 29, 0}, kWriteAcknowledgement));
    EXPECT_FALSE(StartsWith(std::vector<std::uint8_t>{}, kVersionReplyHeader));
}

}  // namespace
}  // namespace rq
