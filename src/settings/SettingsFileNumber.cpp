#include "settings/SettingsFileNumber.h"

#include <limits>

namespace rq {
namespace {

constexpr std::uint32_t kSaturated = 1'000'000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

void LeadingNumber::feed(char c) {
    if (stage_ == Stage::Done || c == ' ') {
        return;
    }
    const bool digit = IsDigit(c);
    switch (stage_) {
        case Stage::Start:
            if (c == '+' || c == '-') {
                negative_ = c == '-';
                stage_ = Stage::AfterSign;
                return;
            }
            [[fallthrough]];
        case Stage::AfterSign:
        case Stage::Integer:
            if (digit) {
                addIntegerDigit(c - '0');
                stage_ = Stage::Integer;
            } else if (c == '.') {
                stage_ = Stage::Fraction;
            } else {
                stage_ = Stage::Done;
            }
            return;
        case Stage::Fraction:
            if (digit) {
                addFractionDigit(c - '0');
            } else {
                stage_ = Stage::Done;
            }
            return;
        case Stage::Done:
            return;
    }
}

void LeadingNumber::addIntegerDigit(int digit) {
    integer_ = integer_ >= kSaturated ? kSaturated : integer_ * 10 + static_cast<unsigned>(digit);
}

void LeadingNumber::addFractionDigit(int digit) {
    if (!sawFraction_) {
        sawFraction_ = true;
        firstFractionDigit_ = digit;
    } else if (digit != 0) {
        laterFractionNonZero_ = true;
    }
}

bool LeadingNumber::isExactlyOne() const {
    return !negative_ && integer_ == 1 && firstFractionDigit_ == 0 && !laterFractionNonZero_;
}

std::optional<std::int16_t> LeadingNumber::rounded() const {
    std::int64_t magnitude = integer_;
    const bool aboveHalf =
        firstFractionDigit_ > 5 || (firstFractionDigit_ == 5 && laterFractionNonZero_);
    const bool exactlyHalf = firstFractionDigit_ == 5 && !laterFractionNonZero_;
    if (aboveHalf || (exactlyHalf && magnitude % 2 != 0)) {
        ++magnitude;
    }
    const std::int64_t value = negative_ ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

}  // namespace rq
