#pragma once

#include <cstdint>
#include <optional>

namespace rq {

// The number at the start of a settings file field, read one character at a time so that
// a field of any length costs constant memory. Blanks are ignored wherever they stand; an
// optional sign, digits and a decimal fraction are taken up to the first character that
// cannot continue the number. A field that does not begin with a number counts as 0.
class LeadingNumber {
  public:
    void feed(char c);

    // Whether the number is exactly 1 (the check boxes compare the unrounded number).
    [[nodiscard]] bool isExactlyOne() const;
    // The number rounded to the nearest integer, halves to the even neighbour; nullopt when
    // the result does not fit a 16-bit signed integer.
    [[nodiscard]] std::optional<std::int16_t> rounded() const;

  private:
    enum class Stage { Start, AfterSign, Integer, Fraction, Done };

    void addIntegerDigit(int digit);
    void addFractionDigit(int digit);

    Stage stage_ = Stage::Start;
    bool negative_ = false;
    // Saturates far above the 16-bit range; beyond that only "too large" matters.
    std::uint32_t integer_ = 0;
    int firstFractionDigit_ = 0;
    bool laterFractionNonZero_ = false;  // any non-zero digit after the first fraction digit
    bool sawFraction_ = false;
};

}  // namespace rq
