#include <gtest/gtest.h>

#include <variant>
#include <vector>

#include "core/Text.h"
#include "protocol/SettingsBlock.h"

namespace rq {
namespace {

SettingsBlock Encoded(const ReaderSettings& settings) {
    const EncodedSettings encoded = EncodeSettings(settings);
    EXPECT_TRUE(std::holds_alternative<SettingsBlock>(encoded));
    return std::holds_alternative<SettingsBlock>(encoded) ? std::get<SettingsBlock>(encoded)
                                                          : SettingsBlock{};
}

std::vector<std::uint8_t> Bytes(const SettingsBlock& block) {
    return {block.begin(), block.end()};
}

// The block a reader holds after a reset, as a read would deliver it.
SettingsBlock DefaultBlock() {
    return Encoded(ReaderSettings{});
}

ReaderSettings Decoded(std::span<const std::uint8_t> reply, bool revisionB = true) {
    ReaderSettings settings;
    DecodeSettings(reply, revisionB, settings);
    return settings;
}

TEST(EncodeSettings, DefaultsGiveTheFactoryBlock) {
    const std::vector<std::uint8_t> expected = {
        0,  0,  0,  0,  16, 0, 32, 32, 32, 32, 32, 32, 32, 0, 32, 32,
        32, 32, 32, 32, 32, 0, 32, 32, 32, 32, 32, 32, 32, 1, 0,
    };
    EXPECT_EQ(Bytes(Encoded(ReaderSettings{})), expected);
}

TEST(EncodeSettings, TextsAreLengthThenBlankPaddedBytes) {
    ReaderSettings s;
    s.prefix = "AB";
    s.postfix = "1234567";
    s.onRemove = "x";
    const SettingsBlock b = Encoded(s);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 5, b.begin() + 13),
              (std::vector<std::uint8_t>{2, 65, 66, 32, 32, 32, 32, 32}));
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 13, b.begin() + 21),
              (std::vector<std::uint8_t>{7, '1', '2', '3', '4', '5', '6', '7'}));
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 21, b.begin() + 29),
              (std::vector<std::uint8_t>{1, 'x', 32, 32, 32, 32, 32, 32}));
}

TEST(EncodeSettings, TextBeyondSevenCharactersIsCutAndItsLengthCapped) {
    ReaderSettings s;
    s.prefix = "ABCDEFGHIJ";
    const SettingsBlock b = Encoded(s);
    EXPECT_EQ(b[5], 7);
    EXPECT_EQ(b[12], 'G');
    EXPECT_EQ(b[13], 0);  // the postfix length is untouched
}

TEST(EncodeSettings, NumbersAndSwitches) {
    ReaderSettings s;
    s.baudCode = 9;
    s.ps2KbLock = true;
    s.delimiter = 3;
    s.startFrom = 16;
    s.charCount = 1;
    s.buzzer = false;
    s.capsLock = true;
    const SettingsBlock b = Encoded(s);
    EXPECT_EQ(b[0], 9);
    EXPECT_EQ(b[1], 255);
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(b[3], 15);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[29], 0);
    EXPECT_EQ(b[30], 1);

    s.startFrom = 1;
    EXPECT_EQ(Encoded(s)[3], 0);
}

TEST(EncodeSettings, OutOfRangeNumbersFallBackDifferently) {
    ReaderSettings s;
    for (int start : {0, 17, -5}) {
        s.startFrom = start;
        EXPECT_EQ(Encoded(s)[3], 0) << start;
    }
    for (int count : {0, 17, -1}) {
        s.charCount = count;
        EXPECT_EQ(Encoded(s)[4], 16) << count;
    }
}

TEST(EncodeSettings, WindowsCodePageCharactersBecomeTheirBytes) {
    ReaderSettings s;
    s.prefix = "€é";    // 0x80, 0xE9
    s.onRemove = "Ÿ‰";  // 0x9F, 0x89
    const SettingsBlock b = Encoded(s);
    EXPECT_EQ(b[5], 2);
    EXPECT_EQ(b[6], 0x80);
    EXPECT_EQ(b[7], 0xE9);
    EXPECT_EQ(b[21], 2);
    EXPECT_EQ(b[22], 0x9F);
    EXPECT_EQ(b[23], 0x89);
}

TEST(EncodeSettings, RefusesTheFirstCharacterTheCodePageLacks) {
    ReaderSettings s;
    s.prefix = "ok";
    s.postfix = "a\u2605b\u0100";  // a star, then A with macron
    s.onRemove = "\u4E2D";
    const EncodedSettings encoded = EncodeSettings(s);
    ASSERT_TRUE(std::holds_alternative<UnencodableCharacter>(encoded));
    EXPECT_EQ(std::get<UnencodableCharacter>(encoded),
              (UnencodableCharacter{TextField::Postfix, U'\u2605'}));
    EXPECT_EQ(FieldLabel(TextField::Postfix), "Postfix characters:");
    EXPECT_EQ(FieldLabel(TextField::Prefix), "Prefix characters:");
    EXPECT_EQ(FieldLabel(TextField::OnRemove), "Onremove characters:");
}

TEST(DecodeSettings, DefaultBlockGivesDefaultSettings) {
    const SettingsBlock b = DefaultBlock();
    ReaderSettings edited;
    edited.prefix = "old";
    edited.baudCode = 8;
    edited.capsLock = true;
    DecodeSettings(b, true, edited);
    EXPECT_EQ(edited, ReaderSettings{});
}

TEST(DecodeSettings, TextsTakeTheirLengthFromTheLengthByte) {
    SettingsBlock b = DefaultBlock();
    b[5] = 2;
    b[6] = 'A';
    b[7] = 'B';
    b[8] = 'C';  // beyond the length: not part of the text
    b[13] = 7;
    for (int i = 0; i < 7; ++i) {
        b[14 + i] = static_cast<std::uint8_t>('a' + i);
    }
    const ReaderSettings s = Decoded(b);
    EXPECT_EQ(s.prefix, "AB");
    EXPECT_EQ(s.postfix, "abcdefg");
    EXPECT_EQ(s.onRemove, "");
}

TEST(DecodeSettings, LengthAboveSevenTakesOnlySevenCharacters) {
    SettingsBlock b = DefaultBlock();
    b[5] = 9;
    for (int i = 0; i < 7; ++i) {
        b[6 + i] = static_cast<std::uint8_t>('A' + i);
    }
    b[13] = 1;
    b[14] = 'Z';
    b[21] = 255;
    const ReaderSettings s = Decoded(b);
    EXPECT_EQ(s.prefix, "ABCDEFG");
    EXPECT_EQ(s.postfix, "Z");
    EXPECT_EQ(s.onRemove, "       ");
}

TEST(DecodeSettings, BaudCodesAreNormalised) {
    SettingsBlock b = DefaultBlock();
    const std::vector<std::pair<int, int>> cases = {{0, 0}, {6, 6}, {8, 8},  {9, 9},  {1, 0},
                                                    {5, 0}, {7, 0}, {10, 0}, {255, 0}};
    for (const auto& [raw, code] : cases) {
        b[0] = static_cast<std::uint8_t>(raw);
        EXPECT_EQ(Decoded(b).baudCode, code) << raw;
    }
}

TEST(DecodeSettings, DelimiterAboveFourIsDisable) {
    SettingsBlock b = DefaultBlock();
    for (const auto& [raw, code] :
         std::vector<std::pair<int, int>>{{3, 3}, {4, 4}, {5, 4}, {9, 4}, {255, 4}}) {
        b[2] = static_cast<std::uint8_t>(raw);
        EXPECT_EQ(Decoded(b).delimiter, code) << raw;
    }
}

TEST(DecodeSettings, PositionsAreLimited) {
    SettingsBlock b = DefaultBlock();
    for (const auto& [raw, shown] :
         std::vector<std::pair<int, int>>{{0, 1}, {14, 15}, {15, 16}, {20, 16}, {255, 16}}) {
        b[3] = static_cast<std::uint8_t>(raw);
        EXPECT_EQ(Decoded(b).startFrom, shown) << raw;
    }
    for (const auto& [raw, shown] :
         std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {16, 16}, {17, 16}, {200, 16}}) {
        b[4] = static_cast<std::uint8_t>(raw);
        EXPECT_EQ(Decoded(b).charCount, shown) << raw;
    }
}

TEST(DecodeSettings, SwitchesUseTheirOwnOnValues) {
    SettingsBlock b = DefaultBlock();
    for (const auto& [raw, locked] :
         std::vector<std::pair<int, bool>>{{255, true}, {1, false}, {254, false}, {0, false}}) {
        b[1] = static_cast<std::uint8_t>(raw);
        EXPECT_EQ(Decoded(b).ps2KbLock, locked) << raw;
    }
    b[29] = 7;
    b[30] = 200;
    EXPECT_TRUE(Decoded(b).buzzer);
    EXPECT_TRUE(Decoded(b).capsLock);
    b[29] = 0;
    b[30] = 0;
    EXPECT_FALSE(Decoded(b).buzzer);
    EXPECT_FALSE(Decoded(b).capsLock);
}

TEST(DecodeSettings, RevisionAClearsAndDisablesCapsLockUntilARevisionBRead) {
    SettingsBlock b = DefaultBlock();
    b[30] = 1;
    ReaderSettings s;
    s.capsLock = true;
    DecodeSettings(b, false, s);
    EXPECT_FALSE(s.capsLock);
    EXPECT_FALSE(s.capsLockEnabled);

    b[30] = 0;
    DecodeSettings(b, true, s);
    EXPECT_FALSE(s.capsLock);
    EXPECT_TRUE(s.capsLockEnabled);
    b[30] = 1;
    DecodeSettings(b, true, s);
    EXPECT_TRUE(s.capsLock);
}

TEST(DecodeSettings, ShortRepliesChangeOnlyTheFieldsPresent) {
    ReaderSettings before;
    before.prefix = "keep";
    before.buzzer = false;
    before.capsLock = true;
    before.charCount = 5;
    const std::vector<std::uint8_t> reply = {6, 0, 1, 2};  // ends before charCount
    ReaderSettings s = before;
    DecodeSettings(reply, true, s);
    EXPECT_EQ(s.baudCode, 6);
    EXPECT_EQ(s.delimiter, 1);
    EXPECT_EQ(s.startFrom, 3);
    EXPECT_EQ(s.charCount, 5);
    EXPECT_EQ(s.prefix, "keep");
    EXPECT_FALSE(s.buzzer);
    EXPECT_TRUE(s.capsLock);

    // A text cut off by the end of the reply keeps the characters present.
    const std::vector<std::uint8_t> cut = {0, 0, 0, 0, 16, 5, 'x', 'y'};
    EXPECT_EQ(Decoded(cut).prefix, "xy");
    EXPECT_NO_THROW(Decoded(std::vector<std::uint8_t>{}));
}

TEST(SettingsBlockCodec, WindowsCodePageRoundTripOfEveryByte) {
    // Every byte a reader can hold other than the padding survives read then write.
    for (int value = 1; value < 256; ++value) {
        SettingsBlock b = DefaultBlock();
        b[5] = 1;
        b[6] = static_cast<std::uint8_t>(value);
        const SettingsBlock back = Encoded(Decoded(b));
        EXPECT_EQ(back[5], 1) << value;
        EXPECT_EQ(back[6], value) << value;
    }
}

TEST(SettingsBlockCodec, WriteAfterReadReturnsTheBlockExceptNormalisedValuesAndPadding) {
    SettingsBlock read = {8, 255, 7, 4, 12, 3, 'a', 'b', 'c', 0,   0,   0,   0,   2, 0xE9, 0x80,
                          9, 9,   9, 9, 9,  0, 'z', 'z', 'z', 'z', 'z', 'z', 'z', 3, 1};
    const SettingsBlock written = Encoded(Decoded(read));
    SettingsBlock expected = read;
    expected[2] = 4;  // delimiter 7 is taken as Disable
    for (std::size_t i :
         {9u, 10u, 11u, 12u, 16u, 17u, 18u, 19u, 20u, 22u, 23u, 24u, 25u, 26u, 27u, 28u}) {
        expected[i] = 32;  // what follows each text goes back as blanks
    }
    expected[29] = 1;  // buzzer on travels as 1
    EXPECT_EQ(Bytes(written), Bytes(expected));
}

}  // namespace
}  // namespace rq
