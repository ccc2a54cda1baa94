#include <gtest/gtest.h>

#include <vector>

#include "core/Text.h"

namespace rq::text {
namespace {

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
    std::vector<std::uint8_t> all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
    }
    const std::string decoded = DecodeCp1252(all);
    EXPECT_EQ(CharacterCount(decoded), 256u);
    const Cp1252Encoding encoded = EncodeCp1252(decoded);
    EXPECT_FALSE(encoded.unmappable);
    EXPECT_EQ(encoded.bytes, all);
}

TEST(Cp1252, HighControlRangeUsesWindowsCharacters) {
    EXPECT_EQ(Cp1252ToCodePoint(0x80), U'\u20AC');  // euro sign
    EXPECT_EQ(Cp1252ToCodePoint(0x9F), U'\u0178');
    EXPECT_EQ(Cp1252ToCodePoint(0x81), U'\u0081');  // undefined: kept as its C1 control
    EXPECT_EQ(CodePointToCp1252(U'\u20AC'), 0x80);
    EXPECT_EQ(CodePointToCp1252(U'é'), 0xE9);
}

TEST(Cp1252, ReportsTheFirstCharacterItCannotHold) {
    const Cp1252Encoding encoded = EncodeCp1252(
        "ab\xE2\x82\xAC"
        "c\xCE\xA9"
        "d");  // ab€cΩd
    ASSERT_TRUE(encoded.unmappable);
    EXPECT_EQ(*encoded.unmappable, U'\u03A9');
    EXPECT_EQ(DescribeCharacter(*encoded.unmappable), "\xCE\xA9 (U+03A9)");
}

TEST(Utf8, CountsAndCutsByCharacterNotByte) {
    const std::string text =
        "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"
        "12345";  // été €12345
    EXPECT_EQ(CharacterCount(text), 10u);
    EXPECT_EQ(LeftCharacters(text, 5), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(LeftCharacters("abc", 7), "abc");
    // A malformed byte counts as one character and never runs past the end.
    EXPECT_EQ(CharacterCount("a\xFF\xE2\x82"), 4u);
    // UTF-16 for Windows' wide calls: a surrogate pair past U+FFFF, U+FFFD for bad bytes.
    EXPECT_EQ(ToUtf16(text + "\xF0\x9F\x94\x91\xFF"), u"\u00E9t\u00E9 \u20AC12345\U0001F511\uFFFD");
    // Back from a Windows name: pairs join, a lone surrogate (either half, at the end or
    // before another character) becomes U+FFFD.
    const char16_t name[] = {u'a', 0xD83D, 0xDD11, 0xD800, u'b', 0xDC00, 0xD83D};
    EXPECT_EQ(FromUtf16(std::u16string_view(name, 7)),
              "a\xF0\x9F\x94\x91\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(NumberFormats, HexCapitalsAndDecimalWithBlank) {
    EXPECT_EQ(Hex(0), "0");
    EXPECT_EQ(Hex(0x1B), "1B");
    EXPECT_EQ(Hex(255), "FF");
    EXPECT_EQ(DecimalWithBlank(3), " 3");
    EXPECT_EQ(DecimalWithBlank(0), " 0");
    EXPECT_EQ(DecimalWithBlank(-2), "-2");
}

}  // namespace
}  // namespace rq::text
