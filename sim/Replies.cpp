#include "Replies.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>

namespace rq::sim {

std::optional<std::size_t> ApplicationFrameLength(std::uint8_t command) {
    switch (command) {
        case kIdentify:
        case kReadVersion:
            return 2;
        case kReadSettings:
            return 5;
        case kWriteSettings:
            return 5 + kSettingsSize;
        case kResetDefaults:
            return 4;
        default:
            return std::nullopt;
    }
}
namespace {

// Settings block offsets.
constexpr std::size_t kDelimiter = 2;
constexpr std::size_t kStartFrom = 3;
constexpr std::size_t kCharCount = 4;
constexpr std::size_t kPrefix = 5;  // length byte, then 7 characters
constexpr std::size_t kPostfix = 13;
constexpr std::size_t kOnRemove = 21;
constexpr std::size_t kTextWidth = 7;

// A header followed by more bytes. Built with push_back: GCC 12 at -O3 warns falsely
// about vector::insert into a short vector.
template <typename Tail>
Bytes Frame(std::initializer_list<std::uint8_t> head, const Tail& tail) {
    Bytes frame;
    frame.reserve(head.size() + std::size(tail) + 2);
    frame.assign(head.begin(), head.end());
    for (const auto byte : tail) {
        frame.push_back(static_cast<std::uint8_t>(byte));
    }
    return frame;
}

void AppendText(std::string& out, const SettingsBlock& block, std::size_t lengthOffset) {
    const std::size_t length = std::min<std::size_t>(block[lengthOffset], kTextWidth);
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(static_cast<char>(block[lengthOffset + 1 + i]));
    }
}

}  // namespace

Bytes IdentifyReply(Revision revision) {
    // A 4720B names itself right after the length byte; a 4720A puts its model number
    // at the end of the answer.
    if (revision == Revision::B) {
        return {kEsc, kIdentify, 0x07, '4', '7', '2', '0', 'I', 'V', 'B'};
    }
    return {kEsc, kIdentify, 0x07, 'I', 'B', '-', '4', '7', '2', '0'};
}

Bytes VersionReply(std::string_view text, bool crLf, int lengthExcess) {
    const int announced = std::clamp(static_cast<int>(text.size()) + lengthExcess, 0, 255);
    Bytes reply = Frame({kEsc, kReadVersion, static_cast<std::uint8_t>(announced)}, text);
    if (crLf) {
        reply.push_back('\r');
        reply.push_back('\n');
    }
    return reply;
}

Bytes SettingsReply(const SettingsBlock& block) {
    return Frame({kEsc, kReadSettings, kBlockAddressHigh, kBlockAddressLow, kBlockLength}, block);
}

Bytes WriteAcknowledgement() {
    return {kEsc, kWriteSettings, kBlockAddressHigh, kBlockAddressLow, 0x01, 0xAA};
}

Bytes ResetEcho() {
    return {kEsc, kResetDefaults, 0x01, 0xFF};
}

Bytes ToReports(std::span<const std::uint8_t> reply) {
    Bytes reports;
    for (std::size_t start = 0; start < reply.size(); start += kReportPayload) {
        reports.push_back(0);
        const std::size_t end = std::min(reply.size(), start + kReportPayload);
        reports.insert(reports.end(), reply.begin() + static_cast<std::ptrdiff_t>(start),
                       reply.begin() + static_cast<std::ptrdiff_t>(end));
        reports.resize(reports.size() + (kReportPayload - (end - start)), 0);
    }
    return reports;
}

Bytes FormatIdOutput(const SettingsBlock& block, std::string_view id) {
    std::string out;
    AppendText(out, block, kPrefix);
    const std::size_t start = std::min<std::size_t>(block[kStartFrom], id.size());
    const std::size_t count = std::clamp<std::size_t>(block[kCharCount], 1, 16);
    out.append(id.substr(start, count));
    AppendText(out, block, kPostfix);
    switch (block[kDelimiter]) {
        case 0:
            out.push_back('\r');
            out.push_back('\n');
            break;
        case 1:
            out.push_back('\r');
            break;
        case 2:
            out.push_back('\n');
            break;
        case 3:
            out.push_back('\t');
            break;
        default:
            break;
    }
    return Bytes(out.begin(), out.end());
}

Bytes OnRemoveOutput(const SettingsBlock& block) {
    std::string out;
    AppendText(out, block, kOnRemove);
    return Bytes(out.begin(), out.end());
}

}  // namespace rq::sim
