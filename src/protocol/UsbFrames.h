#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/ProgramState.h"
#include "protocol/SettingsBlock.h"

namespace rq {

// One HID report: byte 0 is the report ID (always 0), bytes 1 to 8 the payload.
using Report = std::array<std::uint8_t, kReportSize>;
inline constexpr std::size_t kReportPayload = kReportSize - 1;

// The full write command: the 5 header bytes, then the block (36 bytes).
inline constexpr std::size_t kWriteSettingsCommandSize = 5 + kSettingsBlockLength;
using WriteSettingsCommand = std::array<std::uint8_t, kWriteSettingsCommandSize>;
[[nodiscard]] WriteSettingsCommand MakeWriteSettingsCommand(const SettingsBlock& block);

// A command cut into reports of 8 payload bytes, the last one padded with zeros.
[[nodiscard]] std::vector<Report> CommandReports(std::span<const std::uint8_t> command);

// The five memory-block reports of a settings write.
inline constexpr std::size_t kWriteSettingsReports = 5;
[[nodiscard]] std::array<Report, kWriteSettingsReports> WriteSettingsReports(
    const SettingsBlock& block);

// How many input reports each reply takes over USB (buffer size = 9 per report).
inline constexpr std::uint32_t kWriteAcknowledgementReports = 1;
inline constexpr std::uint32_t kSettingsReplyReports = 5;
inline constexpr std::uint32_t kResetEchoReports = 1;
inline constexpr std::uint32_t kVersionReplyReports = 9;

// Last index of InBuffer that the USB check compares with SentCopy, per reply.
inline constexpr std::size_t kWriteAcknowledgementLastIndex = 6;
inline constexpr std::size_t kSettingsReplyLastIndex = 5;
inline constexpr std::size_t kResetEchoLastIndex = 4;
inline constexpr std::size_t kVersionReplyLastIndex = 2;

// Sets all 81 bytes of InBuffer to 0.
void ClearInBuffer(ProgramState& state);
// Copies the report just sent (OutReport, report ID included) into SentCopy.
void KeepSentCommand(ProgramState& state);
// Puts the expected write acknowledgement, report ID first, into SentCopy bytes 0 to 6.
void ExpectWriteAcknowledgement(ProgramState& state);

// A USB reply is accepted when InBuffer equals SentCopy in bytes 0 to lastIndex.
[[nodiscard]] bool UsbReplyMatches(const ProgramState& state, std::size_t lastIndex);

// The payload bytes of the first `reports` reports in InBuffer, report IDs left out.
[[nodiscard]] std::vector<std::uint8_t> ReportPayloads(const ProgramState& state,
                                                       std::size_t reports);

// An RS232 reply is accepted when it begins with the expected bytes.
[[nodiscard]] bool StartsWith(std::span<const std::uint8_t> reply,
                              std::span<const std::uint8_t> expected);

}  // namespace rq
