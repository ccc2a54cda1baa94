#include "protocol/UsbFrames.h"

#include <algorithm>

namespace rq {

WriteSettingsCommand MakeWriteSettingsCommand(const SettingsBlock& block) {
    WriteSettingsCommand command{};
    const auto afterHeader =
        std::copy(kWriteSettingsHeader.begin(), kWriteSettingsHeader.end(), command.begin());
    std::copy(block.begin(), block.end(), afterHeader);
    return command;
}

std::vector<Report> CommandReports(std::span<const std::uint8_t> command) {
    std::vector<Report> reports;
    for (std::size_t start = 0; start < command.size(); start += kReportPayload) {
        Report report{};
        const auto piece = command.subspan(start, std::min(kReportPayload, command.size() - start));
        std::copy(piece.begin(), piece.end(), report.begin() + 1);
        reports.push_back(report);
    }
    return reports;
}

std::array<Report, kWriteSettingsReports> WriteSettingsReports(const SettingsBlock& block) {
    const WriteSettingsCommand command = MakeWriteSettingsCommand(block);
    const std::vector<Report> cut = CommandReports(command);
    std::array<Report, kWriteSettingsReports> reports{};
    std::copy_n(cut.begin(), kWriteSettingsReports, reports.begin());
    return reports;
}

void ClearInBuffer(ProgramState& state) {
    state.InBuffer.fill(0);
}

void KeepSentCommand(ProgramState& state) {
    state.SentCopy = state.OutReport;
}

void ExpectWriteAcknowledgement(ProgramState& state) {
    state.SentCopy[0] = 0;
    std::copy(kWriteAcknowledgement.begin(), kWriteAcknowledgement.end(),
              state.SentCopy.begin() + 1);
}

bool UsbReplyMatches(const ProgramState& state, std::size_t lastIndex) {
    const std::size_t end = std::min(lastIndex + 1, state.SentCopy.size());
    return std::equal(state.SentCopy.begin(), state.SentCopy.begin() + end, state.InBuffer.begin());
}

std::vector<std::uint8_t> ReportPayloads(const ProgramState& state, std::size_t reports) {
    std::vector<std::uint8_t> payload;
    const std::size_t end = std::min(reports * kReportSize, state.InBuffer.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (i % kReportSize != 0) {
            payload.push_back(state.InBuffer[i]);
        }
    }
    return payload;
}

bool StartsWith(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> expected) {
    return reply.size() >= expected.size() &&
           std::equal(expected.begin(), expected.end(), reply.begin());
}

}  // namespace rq
