#include <gtest/gtest.h>

#include "settings/ReaderSettings.h"
#include "support/EditedSettings.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

using testing::EditedSettings;
using testing::FakeDialogs;
using testing::FakeStatusLog;

TEST(ReaderSettingsDefaults, MatchTheFreshWindow) {
    const ReaderSettings s;
    EXPECT_EQ(s.prefix, "");
    EXPECT_EQ(s.startFrom, 1);
    EXPECT_EQ(s.charCount, 16);
    EXPECT_EQ(s.postfix, "");
    EXPECT_EQ(DelimiterNames[s.delimiter], "<CR+LF>");
    EXPECT_EQ(s.onRemove, "");
    EXPECT_TRUE(s.buzzer);
    EXPECT_EQ(BaudNames[s.baudCode], "9600");
    EXPECT_FALSE(s.ps2KbLock);
    EXPECT_FALSE(s.capsLock);
}

TEST(ClearFields, OkRestoresDefaultsAndLeavesOnlyItsLine) {
    ReaderSettings s = EditedSettings();
    FakeStatusLog log;
    log.appendLine("earlier line");
    FakeDialogs dialogs;

    EXPECT_TRUE(ClearFields(s, log, dialogs));

    EXPECT_EQ(s, ReaderSettings{});
    EXPECT_EQ(log.lines(), std::vector<std::string>{"All fileds sets to default !"});
    EXPECT_GE(log.repaints, 1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].prompt, "Confirm ? ");
    EXPECT_EQ(dialogs.shown[0].title, "Clear Fields");
    EXPECT_EQ(dialogs.shown[0].icon, DialogIcon::Warning);
    EXPECT_EQ(dialogs.shown[0].buttons, DialogButtons::OkCancel);
}

TEST(ClearFields, CancelChangesNothing) {
    ReaderSettings s = EditedSettings();
    FakeStatusLog log;
    log.appendLine("earlier line");
    FakeDialogs dialogs;
    dialogs.answers.push_back(DialogAnswer::Cancel);

    EXPECT_FALSE(ClearFields(s, log, dialogs));

    EXPECT_EQ(s, EditedSettings());
    EXPECT_EQ(log.lines(), std::vector<std::string>{"earlier line"});
    EXPECT_EQ(log.clears, 0);
}

TEST(ClearFields, KeepsWhetherCapsLockCanBeChanged) {
    ReaderSettings s = EditedSettings();
    s.capsLockEnabled = false;
    FakeStatusLog log;
    FakeDialogs dialogs;
    ClearFields(s, log, dialogs);
    EXPECT_FALSE(s.capsLock);
    EXPECT_FALSE(s.capsLockEnabled);
}

TEST(ListSelection, ShownTextGivesItsCode) {
    EXPECT_EQ(DelimiterCodeForText("<TAB>"), 3);
    EXPECT_EQ(DelimiterCodeForText("<CR+LF>"), 0);
    EXPECT_EQ(DelimiterCodeForText("<tab>"), std::nullopt);  // exact, case-sensitive
    EXPECT_EQ(BaudCodeForText("115200"), 9);
    EXPECT_EQ(BaudCodeForText("19200"), 6);
    EXPECT_EQ(BaudCodeForText("57600"), 8);
    // The empty slots of the baud table are no list text.
    EXPECT_EQ(BaudCodeForText(""), std::nullopt);
}

TEST(OutsideCodes, AreNormalisedSoTextAndCodeAgree) {
    EXPECT_EQ(NormaliseDelimiterCode(2), 2);
    EXPECT_EQ(NormaliseDelimiterCode(5), 4);
    EXPECT_EQ(NormaliseDelimiterCode(200), 4);
    EXPECT_EQ(NormaliseDelimiterCode(-1), 4);
    EXPECT_EQ(NormaliseBaudCode(8), 8);
    EXPECT_EQ(NormaliseBaudCode(7), 0);
    EXPECT_EQ(NormaliseBaudCode(12), 0);
    EXPECT_EQ(NormaliseBaudCode(-6), 0);
    for (int code : {1, 2, 3, 4, 5}) {
        EXPECT_EQ(NormaliseBaudCode(code), 0) << code;
    }
    EXPECT_EQ(NormaliseBaudCode(9), 9);
}

TEST(TextFields, OutsideTextsAreCutToSevenCharacters) {
    EXPECT_EQ(CutToFieldLength("0123456789"), "0123456");
    EXPECT_EQ(CutToFieldLength("\xE2\x82\xAC"
                               "bcdefghij"),
              "\xE2\x82\xAC"
              "bcdefg");
    EXPECT_EQ(CutToFieldLength(""), "");
}

}  // namespace
}  // namespace rq
