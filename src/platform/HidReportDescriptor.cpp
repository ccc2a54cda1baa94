#include "platform/HidReportDescriptor.h"

#include <algorithm>
#include <cstddef>
#include <map>

namespace rq {
namespace {

// Item types and tags of the short items that matter here.
constexpr int kTypeMain = 0;
constexpr int kTypeGlobal = 1;
constexpr int kTypeLocal = 2;

constexpr int kMainInput = 8;
constexpr int kMainOutput = 9;
constexpr int kMainCollection = 10;
constexpr int kMainFeature = 11;
constexpr int kMainEndCollection = 12;

constexpr int kGlobalUsagePage = 0;
constexpr int kGlobalReportSize = 7;
constexpr int kGlobalReportId = 8;
constexpr int kGlobalReportCount = 9;
constexpr int kGlobalPush = 10;
constexpr int kGlobalPop = 11;
constexpr int kGlobalLastDefined = 11;

constexpr int kLocalUsage = 0;

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::uint32_t kCollectionApplication = 0x01;

// A report longer than this (ID byte included) cannot be described by a 16-bit length.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;
// Deeper Push nesting than any real device uses; bounds the parser on garbage input.
constexpr std::size_t kMaxPushDepth = 64;

struct GlobalState {
    std::uint16_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

class Parser {
  public:
    explicit Parser(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<HidReportLayout> run() {
        std::size_t pos = 0;
        while (pos < bytes_.size()) {
            const std::uint8_t prefix = bytes_[pos];
            if (prefix == kLongItemPrefix) {
                // Long items carry no report layout; only their length matters.
                if (pos + 3 > bytes_.size()) {
                    return std::nullopt;
                }
                const std::size_t dataSize = bytes_[pos + 1];
                pos += 3 + dataSize;
                if (pos > bytes_.size()) {
                    return std::nullopt;
                }
                continue;
            }
            static constexpr std::size_t kSizes[4] = {0, 1, 2, 4};
            const std::size_t size = kSizes[prefix & 0x03];
            const int type = (prefix >> 2) & 0x03;
            const int tag = prefix >> 4;
            if (pos + 1 + size > bytes_.size()) {
                return std::nullopt;
            }
            std::uint32_t data = 0;
            for (std::size_t i = 0; i < size; ++i) {
                data |= static_cast<std::uint32_t>(bytes_[pos + 1 + i]) << (8 * i);
            }
            pos += 1 + size;
            if (!item(type, tag, data, size)) {
                return std::nullopt;
            }
        }
        if (depth_ != 0 || (numbered_ && unnumberedData_)) {
            return std::nullopt;
        }
        HidReportLayout layout;
        layout.inputLength = longest(inputBits_);
        layout.outputLength = longest(outputBits_);
        layout.numberedReports = numbered_;
        layout.applications = std::move(applications_);
        return layout;
    }

  private:
    bool item(int type, int tag, std::uint32_t data, std::size_t size) {
        switch (type) {
            case kTypeMain:
                return mainItem(tag, data);
            case kTypeGlobal:
                return globalItem(tag, data);
            case kTypeLocal:
                if (tag == kLocalUsage && !usage_) {
                    usage_ = size == 4 ? HidUsage{static_cast<std::uint16_t>(data >> 16),
                                                  static_cast<std::uint16_t>(data & 0xFFFF)}
                                       : HidUsage{global_.usagePage,
                                                  static_cast<std::uint16_t>(data & 0xFFFF)};
                }
                return true;
            default:
                return false;  // reserved item type
        }
    }

    bool mainItem(int tag, std::uint32_t data) {
        switch (tag) {
            case kMainInput:
                if (!addBits(inputBits_)) {
                    return false;
                }
                break;
            case kMainOutput:
                if (!addBits(outputBits_)) {
                    return false;
                }
                break;
            case kMainFeature:
                unnumberedData_ = unnumberedData_ || global_.reportId == 0;
                break;
            case kMainCollection:
                if (depth_ == 0 && (data & 0xFF) == kCollectionApplication) {
                    applications_.push_back(usage_.value_or(HidUsage{global_.usagePage, 0}));
                }
                ++depth_;
                break;
            case kMainEndCollection:
                if (depth_ == 0) {
                    return false;
                }
                --depth_;
                break;
            default:
                return false;
        }
        usage_.reset();  // local items last until the next main item
        return true;
    }

    bool globalItem(int tag, std::uint32_t data) {
        switch (tag) {
            case kGlobalUsagePage:
                global_.usagePage = static_cast<std::uint16_t>(data & 0xFFFF);
                return true;
            case kGlobalReportSize:
                global_.reportSize = data;
                return true;
            case kGlobalReportCount:
                global_.reportCount = data;
                return true;
            case kGlobalReportId:
                // ID 0 is reserved for unnumbered reports; IDs are one byte on the wire.
                if (data == 0 || data > 0xFF) {
                    return false;
                }
                global_.reportId = static_cast<std::uint8_t>(data);
                numbered_ = true;
                return true;
            case kGlobalPush:
                if (stack_.size() >= kMaxPushDepth) {
                    return false;
                }
                stack_.push_back(global_);
                return true;
            case kGlobalPop:
                if (stack_.empty()) {
                    return false;
                }
                global_ = stack_.back();
                stack_.pop_back();
                return true;
            default:
                return tag <= kGlobalLastDefined;
        }
    }

    bool addBits(std::map<std::uint8_t, std::uint64_t>& bitsById) {
        unnumberedData_ = unnumberedData_ || global_.reportId == 0;
        const std::uint64_t bits =
            static_cast<std::uint64_t>(global_.reportSize) * global_.reportCount;
        std::uint64_t& total = bitsById[global_.reportId];
        if (bits > kMaxReportBits - total) {
            return false;
        }
        total += bits;
        return true;
    }

    static std::uint16_t longest(const std::map<std::uint8_t, std::uint64_t>& bitsById) {
        std::uint64_t bytes = 0;
        for (const auto& [id, bits] : bitsById) {
            if (bits > 0) {
                bytes = std::max(bytes, (bits + 7) / 8 + 1);  // + the report ID byte
            }
        }
        return static_cast<std::uint16_t>(bytes);
    }

    std::span<const std::uint8_t> bytes_;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    std::optional<HidUsage> usage_;
    int depth_ = 0;
    bool numbered_ = false;
    bool unnumberedData_ = false;
    std::map<std::uint8_t, std::uint64_t> inputBits_;
    std::map<std::uint8_t, std::uint64_t> outputBits_;
    std::vector<HidUsage> applications_;
};

}  // namespace

HidReportLayout ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor) {
    return Parser(descriptor).run().value_or(HidReportLayout{});
}

bool IsSystemInputInterface(const HidReportLayout& layout) {
    constexpr std::uint16_t kGenericDesktop = 0x01;
    constexpr std::uint16_t kMouse = 0x02;
    constexpr std::uint16_t kKeyboard = 0x06;
    constexpr std::uint16_t kKeypad = 0x07;
    if (layout.applications.empty()) {
        return false;
    }
    return std::all_of(
        layout.applications.begin(), layout.applications.end(), [](const HidUsage& usage) {
            return usage.page == kGenericDesktop &&
                   (usage.id == kMouse || usage.id == kKeyboard || usage.id == kKeypad);
        });
}

std::optional<std::string> HidrawReportDescriptorPath(std::string_view devicePath) {
    constexpr std::string_view kPrefix = "/dev/hidraw";
    if (!devicePath.starts_with(kPrefix)) {
        return std::nullopt;
    }
    const std::string_view number = devicePath.substr(kPrefix.size());
    if (number.empty() || number.size() > 6 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return "/sys/class/hidraw/hidraw" + std::string(number) + "/device/report_descriptor";
}

}  // namespace rq
