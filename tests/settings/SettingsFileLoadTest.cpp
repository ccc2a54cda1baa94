#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

using testing::DefaultLines;
using testing::FakeDialogs;
using testing::FakeStatusLog;
using testing::JoinLines;
using testing::TempDir;
using testing::WriteBytes;

// Indexes of the value lines in the 22-line file.
constexpr std::size_t kPrefixLine = 3;
constexpr std::size_t kStartLine = 5;
constexpr std::size_t kPostfixLine = 9;
constexpr std::size_t kDelimiterLine = 11;
constexpr std::size_t kBuzzerLine = 15;
constexpr std::size_t kBaudLine = 17;
constexpr std::size_t kCapsLockLine = 21;

// Settings that differ from the defaults in every field, so that a load shows what it set.
ReaderSettings Distinct() {
    ReaderSettings s;
    s.prefix = "old";
    s.startFrom = 5;
    s.charCount = 6;
    s.postfix = "oldpost";
    s.delimiter = 3;
    s.onRemove = "oldrm";
    s.buzzer = false;
    s.baudCode = 9;
    s.ps2KbLock = true;
    s.capsLock = true;
    return s;
}

class LoadSettings : public ::testing::Test {
  protected:
    // Loads `bytes` from a file into settings that start as Distinct().
    void load(const std::string& bytes) {
        WriteBytes(path, bytes);
        LoadSettingsFile(path, settings, log, dialogs);
    }
    void loadWithLine(std::size_t index, const std::string& value) {
        auto lines = DefaultLines();
        lines[index] = value;
        load(JoinLines(lines));
    }
    // The prompt of the only message box, or "" when none was shown.
    std::string box() const {
        EXPECT_LE(dialogs.shown.size(), 1u);
        return dialogs.shown.empty() ? std::string() : dialogs.shown.front().prompt;
    }
    bool completed() const {
        return !log.lines().empty() && log.lines().back() == "Settings put on all fields.";
    }

    TempDir dir;
    std::string path = dir.file("conf.kxs");
    ReaderSettings settings = Distinct();
    FakeStatusLog log;
    FakeDialogs dialogs;
};

TEST_F(LoadSettings, DefaultsFileSetsEveryFieldAndWritesBothLines) {
    load(JoinLines(DefaultLines()));
    EXPECT_EQ(settings, ReaderSettings{});
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Settings file: " + path + " opened.",
                                                     "Settings put on all fields."}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LoadSettings, StructureErrorsShowTheirNumberAndKeepEarlierValues) {
    load("");
    EXPECT_EQ(box(), "Settings file error! 1");
    EXPECT_EQ(dialogs.shown[0].title, "Error");
    EXPECT_EQ(dialogs.shown[0].icon, DialogIcon::Stop);
    EXPECT_EQ(dialogs.shown[0].buttons, DialogButtons::Ok);
    EXPECT_FALSE(completed());
    EXPECT_EQ(settings, Distinct());

    dialogs.shown.clear();
    auto lines = DefaultLines();
    lines[0] = "[4720-01 settings file]";
    load(JoinLines(lines));
    EXPECT_EQ(box(), "Settings file error! 1");

    // Line 9 without its second I: prefix, start and number are already loaded.
    dialogs.shown.clear();
    settings = Distinct();
    lines = DefaultLines();
    lines[kPrefixLine] = "P";
    lines[8] = "[POSTFIX]";
    load(JoinLines(lines));
    EXPECT_EQ(box(), "Settings file error! 6");
    EXPECT_EQ(settings.prefix, "P");
    EXPECT_EQ(settings.startFrom, 1);
    EXPECT_EQ(settings.charCount, 16);
    EXPECT_EQ(settings.postfix, "oldpost");
    EXPECT_EQ(settings.capsLock, true);
    EXPECT_FALSE(completed());
}

TEST_F(LoadSettings, FileEndingAfterTheBaudValueGivesError11) {
    auto lines = DefaultLines();
    lines.resize(kBaudLine + 1);
    load(JoinLines(lines));
    EXPECT_EQ(box(), "Settings file error! 11");
    ReaderSettings expected;
    expected.ps2KbLock = true;  // not reached
    expected.capsLock = true;
    EXPECT_EQ(settings, expected);
}

TEST_F(LoadSettings, FileEndingAfterCapsLockKeyLoadsCompletelyWithCapsLockOff) {
    auto lines = DefaultLines();
    lines.resize(kCapsLockLine);
    load(JoinLines(lines));
    EXPECT_EQ(box(), "");
    EXPECT_FALSE(settings.capsLock);
    EXPECT_TRUE(completed());

    // The same without the final line end.
    settings = Distinct();
    std::string bytes = JoinLines(lines);
    bytes.resize(bytes.size() - 2);
    load(bytes);
    EXPECT_FALSE(settings.capsLock);
    EXPECT_TRUE(completed());
}

TEST_F(LoadSettings, CommaInsideAPlainPrefixSplitsIt) {
    loadWithLine(kPrefixLine, "A,B");
    EXPECT_EQ(settings.prefix, "A");
    EXPECT_EQ(box(), "Settings file error! 4");
}

TEST_F(LoadSettings, HandMadeFilesLoadLikeTheTwoLineForm) {
    auto lines = DefaultLines();
    lines[2] = "[PREFIX],abcdefghij";  // key and value on one line, ten characters
    lines.erase(lines.begin() + kPrefixLine);
    lines[kStartLine - 1] = "  7  ";
    lines[kPostfixLine - 1] = "   lead";
    load(JoinLines(lines));
    EXPECT_TRUE(completed());
    EXPECT_EQ(settings.prefix, "abcdefg");
    EXPECT_EQ(settings.startFrom, 7);
    EXPECT_EQ(settings.postfix, "lead");
}

TEST_F(LoadSettings, LineEndsMayBeCrLfCrOrLfAndTheLastMayBeMissing) {
    for (const std::string lineEnd : {"\r", "\n", "\r\n"}) {
        settings = Distinct();
        log.clear();
        auto lines = DefaultLines();
        lines[kPrefixLine] = "pre";
        std::string bytes = JoinLines(lines, lineEnd);
        bytes.resize(bytes.size() - lineEnd.size());
        load(bytes);
        ReaderSettings expected;
        expected.prefix = "pre";
        EXPECT_EQ(settings, expected) << "line end of " << lineEnd.size() << " bytes";
        EXPECT_TRUE(completed());
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LoadSettings, TextValuesAreCutToSevenCharactersAndDecodedFromWindows1252) {
    // "é" and "€" are one byte each in the file.
    loadWithLine(kPrefixLine,
                 "\xE9\x80"
                 "abcdefgh");
    EXPECT_EQ(settings.prefix, "é€abcde");
}

struct NumberCase {
    std::string line;
    int expected;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << "'" << c.line << "' -> " << c.expected;
}

class LoadStartValue : public LoadSettings, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(LoadStartValue, BecomesTheRoundedClampedNumber) {
    loadWithLine(kStartLine, GetParam().line);
    EXPECT_EQ(settings.startFrom, GetParam().expected) << "START line '" << GetParam().line << "'";
    EXPECT_TRUE(completed());
}

// Distinct() starts at 5, which a negative number keeps.
INSTANTIATE_TEST_SUITE_P(
    Numbers, LoadStartValue,
    ::testing::Values(NumberCase{"0", 1}, NumberCase{"word", 1}, NumberCase{"", 1},
                      NumberCase{"99", 16}, NumberCase{"2.5", 2}, NumberCase{"3.5", 4},
                      NumberCase{"2.51", 3}, NumberCase{"12abc", 12}, NumberCase{"+3", 3},
                      NumberCase{"-3", 5}, NumberCase{"-0.4", 1}, NumberCase{"40000", 16},
                      NumberCase{"-40000", 16}, NumberCase{"32767.5", 16}, NumberCase{"\"9\"", 9},
                      NumberCase{"0000000000000000000000000003", 3}));

class LoadCheckBox : public LoadSettings,
                     public ::testing::WithParamInterface<std::pair<std::string, bool>> {};

TEST_P(LoadCheckBox, IsCheckedOnlyByTheNumberOneExactly) {
    const auto& [line, checked] = GetParam();
    settings.buzzer = !checked;
    loadWithLine(kBuzzerLine, line);
    EXPECT_EQ(settings.buzzer, checked) << "BUZZER line '" << line << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Values, LoadCheckBox,
    ::testing::Values(std::pair{" 1 ", true}, std::pair{"1", true}, std::pair{"1.0", true},
                      std::pair{"+1", true}, std::pair{" 0 ", false}, std::pair{"2", false},
                      std::pair{"1.4", false}, std::pair{"word", false}, std::pair{"", false},
                      std::pair{"-1", false}, std::pair{"0.5", false},
                      std::pair{"1.0000000000000000001", false}, std::pair{"65537", false}));

TEST_F(LoadSettings, CodesAreNormalised) {
    const std::vector<std::pair<std::string, int>> delimiters = {
        {"5", 4}, {"2", 2}, {"-1", 4}, {"40000", 4}, {"word", 0}, {"3.5", 4}};
    for (const auto& [line, code] : delimiters) {
        loadWithLine(kDelimiterLine, line);
        EXPECT_EQ(settings.delimiter, code) << "DELIMITER line '" << line << "'";
    }
    const std::vector<std::pair<std::string, int>> bauds = {
        {"7", 0}, {"10", 0}, {"8", 8}, {"9", 9}, {"6", 6}, {"-3", 0}, {"40000", 0}};
    for (const auto& [line, code] : bauds) {
        settings.baudCode = 9;
        loadWithLine(kBaudLine, line);
        EXPECT_EQ(settings.baudCode, code) << "BAUD line '" << line << "'";
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LoadSettings, QuotedValuesKeepCommasAndBlanksUpToTheNextQuote) {
    auto lines = DefaultLines();
    lines[kPrefixLine] = "\" a,b \"";
    lines[kPostfixLine] = "  \"x\" ignored";
    lines[13] = "o\"k";  // the onRemove value: a quote inside a plain field is kept
    load(JoinLines(lines));
    EXPECT_TRUE(completed());
    EXPECT_EQ(settings.prefix, " a,b ");
    EXPECT_EQ(settings.postfix, "x");
    EXPECT_EQ(settings.onRemove, "o\"k");
}

TEST_F(LoadSettings, DoubledQuoteEndsTheQuotedField) {
    loadWithLine(kPrefixLine, "\"a\"\"b");
    EXPECT_TRUE(completed());
    EXPECT_TRUE(dialogs.shown.empty());
    ReaderSettings expected;
    expected.prefix = "a";
    EXPECT_EQ(settings, expected);
}

TEST_F(LoadSettings, UnclosedQuoteRunsToTheEndOfTheFile) {
    loadWithLine(kPrefixLine, "\"AB");
    // The rest of the file became the prefix; the read after it fails and the check
    // against "[START]" sees the prefix field again.
    EXPECT_EQ(settings.prefix, "AB\r\n[ST");
    EXPECT_EQ(box(), "Settings file error! 4");
}

TEST_F(LoadSettings, FiftyMegabyteLineIsOneFieldAndError1) {
    std::string bytes(50u * 1024 * 1024, 'x');
    bytes += "\r\n";
    bytes += JoinLines(DefaultLines());
    load(bytes);
    EXPECT_EQ(box(), "Settings file error! 1");
    EXPECT_EQ(settings, Distinct());
}

TEST_F(LoadSettings, BinaryBytesGiveError1WithoutChangingFields) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes.push_back(static_cast<char>((i * 37 + 11) % 256));
    }
    load(bytes);
    EXPECT_EQ(box(), "Settings file error! 1");
    EXPECT_EQ(settings, Distinct());
}

TEST_F(LoadSettings, FilesThatCannotBeOpenedShowNotFoundWithTheErrorNumber) {
    const std::string missing = dir.file("gone.kxs");
    LoadSettingsFile(missing, settings, log, dialogs);
    EXPECT_EQ(box(), "Settings file " + missing + " not found! 2");
    EXPECT_EQ(dialogs.shown[0].title, "Error");
    EXPECT_EQ(dialogs.shown[0].icon, DialogIcon::Stop);

    dialogs.shown.clear();
    const std::string directory = dir.file("folder.kxs");
    std::filesystem::create_directory(directory);
    LoadSettingsFile(directory, settings, log, dialogs);
    EXPECT_EQ(box(), "Settings file " + directory + " not found! 21");

    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(settings, Distinct());
}

#ifndef _WIN32  // POSIX permissions and pipes
TEST_F(LoadSettings, UnreadableFileShowsNotFound) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not stop root";
    }
    WriteBytes(path, JoinLines(DefaultLines()));
    ::chmod(path.c_str(), 0);
    LoadSettingsFile(path, settings, log, dialogs);
    EXPECT_EQ(box(), "Settings file " + path + " not found! 13");
    EXPECT_EQ(settings, Distinct());
}

TEST_F(LoadSettings, PipeWithoutWriterDoesNotHang) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    LoadSettingsFile(path, settings, log, dialogs);
    EXPECT_EQ(box(), "Settings file error! 1");
}
#endif

}  // namespace
}  // namespace rq
