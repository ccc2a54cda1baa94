#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

using testing::FakeDialogs;
using testing::FakeStatusLog;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::string kOldContents = "previous contents\r\n";

class SaveSettings : public ::testing::Test {
  protected:
    void save(const std::string& target) { SaveSettingsFile(target, settings, log, dialogs); }
    ReaderSettings reload(const std::string& source) {
        ReaderSettings loaded;
        loaded.startFrom = 9;  // differs from anything saved below
        FakeStatusLog loadLog;
        FakeDialogs loadDialogs;
        LoadSettingsFile(source, loaded, loadLog, loadDialogs);
        EXPECT_TRUE(loadDialogs.shown.empty()) << loadDialogs.shown.front().prompt;
        return loaded;
    }
    void expectFailureBox(const std::string& target) {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].prompt, "Save settings to file " + target + " Error!!");
        EXPECT_EQ(dialogs.shown[0].title, "Error");
        EXPECT_EQ(dialogs.shown[0].icon, DialogIcon::Stop);
        EXPECT_EQ(dialogs.shown[0].buttons, DialogButtons::Ok);
        for (const auto& line : log.lines()) {
            EXPECT_EQ(line.find("saved ok"), std::string::npos) << line;
        }
    }
    // Only the given file is left in the directory: no temporary file stayed behind.
    void expectOnlyFile(const std::string& name) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names, std::vector<std::string>{name});
    }

    TempDir dir;
    std::string path = dir.file("conf.kxs");
    ReaderSettings settings;
    FakeStatusLog log;
    FakeDialogs dialogs;
};

TEST_F(SaveSettings, DefaultsGiveThe205ByteFile) {
    save(path);
    const std::string expected =
        "[4720-01 Settings File]\r\n"
        "iButton Reader 4720 Quorrindel Inc.\r\n"
        "[PREFIX]\r\n"
        "\r\n"
        "[START]\r\n"
        "1\r\n"
        "[NUMBER]\r\n"
        "16\r\n"
        "[POSTIFIX]\r\n"
        "\r\n"
        "[DELIMITER]\r\n"
        "0\r\n"
        "[ONREMOVE]\r\n"
        "\r\n"
        "[BUZZER]\r\n"
        " 1 \r\n"
        "[BAUD]\r\n"
        "0\r\n"
        "[PS2KBLOCK]\r\n"
        " 0 \r\n"
        "[CAPSLOCK]\r\n"
        " 0 \r\n";
    ASSERT_EQ(expected.size(), 205u);
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Settings saved ok to : " + path});
    EXPECT_TRUE(dialogs.shown.empty());
    expectOnlyFile("conf.kxs");
}

TEST_F(SaveSettings, SaveThenLoadRestoresAllTenFields) {
    settings.prefix = "é€x";
    settings.startFrom = 3;
    settings.charCount = 8;
    settings.postfix = "Z";
    settings.delimiter = 2;
    settings.onRemove = "R";
    settings.buzzer = false;
    settings.baudCode = 8;
    settings.ps2KbLock = true;
    settings.capsLock = true;
    save(path);
    EXPECT_EQ(reload(path), settings);
}

TEST_F(SaveSettings, TextsThatWouldNotLoadBackAreQuotedAndRoundTrip) {
    for (const std::string value : {"A,B", " lead", "trail ", "\r\nx", ",", "  ", " a,b "}) {
        settings.prefix = value;
        settings.postfix = "p" + value;
        settings.onRemove = value;
        save(path);
        const ReaderSettings loaded = reload(path);
        EXPECT_EQ(loaded.prefix, value);
        EXPECT_EQ(loaded.postfix, "p" + value);
        EXPECT_EQ(loaded.onRemove, value);
    }
}

TEST_F(SaveSettings, PlainTextsAreWrittenUnchangedAndRoundTrip) {
    // A quote after the first character of a plain field is read as is.
    settings.prefix = "a\"b";
    settings.postfix = "x y";
    settings.onRemove = "q\"\"";
    save(path);
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("[PREFIX]\r\na\"b\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[POSTIFIX]\r\nx y\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[ONREMOVE]\r\nq\"\"\r\n"), std::string::npos);
    EXPECT_EQ(reload(path), settings);

    settings.prefix = "A,B";
    save(path);
    EXPECT_NE(ReadBytes(path).find("[PREFIX]\r\n\"A,B\"\r\n"), std::string::npos);
}

TEST_F(SaveSettings, QuotedTextHoldingAQuoteIsRefusedAndOldFileKept) {
    struct Case {
        std::string ReaderSettings::*field;
        std::string value;
        std::string statusLine;
    };
    const std::vector<Case> cases = {
        {&ReaderSettings::prefix, "a\",b",
         "A settings file cannot hold the Prefix characters text \"a\",b\": it holds both a "
         "comma and a double quote."},
        {&ReaderSettings::postfix, "\"q",
         "A settings file cannot hold the Postfix characters text \"\"q\": it begins with a "
         "double quote."},
        {&ReaderSettings::onRemove, " a\"",
         "A settings file cannot hold the Onremove characters text \" a\"\": it begins with a "
         "blank and holds a double quote."},
        {&ReaderSettings::prefix, "a\"b ",
         "A settings file cannot hold the Prefix characters text \"a\"b \": it ends with a "
         "blank and holds a double quote."},
        {&ReaderSettings::postfix, "a\"\r\nb",
         "A settings file cannot hold the Postfix characters text \"a\"<CR><LF>b\": it holds "
         "both a "
         "line break and a double quote."},
    };
    WriteBytes(path, kOldContents);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        settings = ReaderSettings{};
        settings.*c.field = c.value;
        log.clear();
        dialogs.shown.clear();
        save(path);
        expectFailureBox(path);
        EXPECT_EQ(log.lines(), std::vector<std::string>{c.statusLine});
        EXPECT_EQ(ReadBytes(path), kOldContents);
        expectOnlyFile("conf.kxs");
    }
}

TEST_F(SaveSettings, ReplacingKeepsPermissionsAndFollowsLinks) {
    WriteBytes(path, kOldContents);
    ::chmod(path.c_str(), 0640);
    const std::string link = dir.file("link.kxs");
    std::filesystem::create_symlink(path, link);
    save(link);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path).size(), 205u);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SaveSettings, MissingDirectoryOrDirectoryTargetShowsTheErrorBox) {
    const std::string missing = dir.file("nowhere/conf.kxs");
    save(missing);
    expectFailureBox(missing);

    dialogs.shown.clear();
    const std::string folder = dir.file("folder.kxs");
    std::filesystem::create_directory(folder);
    WriteBytes(folder + "/inside", kOldContents);
    save(folder);
    expectFailureBox(folder);
    EXPECT_EQ(ReadBytes(folder + "/inside"), kOldContents);
    expectOnlyFile("folder.kxs");
}

// What a save did in a child process; the exit code carries it back.
enum SaveOutcome : int {
    kRefused = 0,          // the error box and no success line
    kReportedSaved = 1,    // "Settings saved ok" although the file is read-only
    kOtherReport = 2,      // anything else
    kCanWriteAnyway = 3,   // the read-only file is writable for the child: no test
    kCannotWriteHere = 4,  // the child cannot save even a new file here: no test
};

// Saves over `readOnly` as a user who may write the directory but not the file: as
// ourselves, or as nobody when we are root (root may write any file).
SaveOutcome SaveOverReadOnlyFileInChild(const std::string& readOnly, const std::string& fresh) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(kCannotWriteHere);
        }
        if (::access(readOnly.c_str(), W_OK) == 0) {
            ::_exit(kCanWriteAnyway);
        }
        const ReaderSettings settings;
        FakeStatusLog freshLog;
        FakeDialogs freshDialogs;
        SaveSettingsFile(fresh, settings, freshLog, freshDialogs);
        if (!freshDialogs.shown.empty()) {
            ::_exit(kCannotWriteHere);
        }
        FakeStatusLog log;
        FakeDialogs dialogs;
        SaveSettingsFile(readOnly, settings, log, dialogs);
        if (!log.lines().empty()) {
            ::_exit(kReportedSaved);
        }
        const bool box =
            dialogs.shown.size() == 1 &&
            dialogs.shown[0].prompt == "Save settings to file " + readOnly + " Error!!";
        ::_exit(box ? kRefused : kOtherReport);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return kOtherReport;
    }
    return static_cast<SaveOutcome>(WEXITSTATUS(status));
}

TEST_F(SaveSettings, ReadOnlyFileIsNotReplaced) {
    ::chmod(dir.path().c_str(), 0777);
    WriteBytes(path, kOldContents);
    ::chmod(path.c_str(), 0444);
    const std::string link = dir.file("link.kxs");
    std::filesystem::create_symlink(path, link);

    for (const std::string& target : {path, link}) {
        SCOPED_TRACE(target);
        const std::string fresh = target + ".new";
        const SaveOutcome outcome = SaveOverReadOnlyFileInChild(target, fresh);
        if (outcome == kCanWriteAnyway || outcome == kCannotWriteHere) {
            GTEST_SKIP() << "cannot make a file read-only for a user who may write its folder";
        }
        EXPECT_EQ(outcome, kRefused);
        EXPECT_EQ(ReadBytes(path), kOldContents);
        EXPECT_EQ(ReadBytes(fresh).size(), 205u);  // the same user could save beside it
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    std::filesystem::remove(path + ".new");
    std::filesystem::remove(link + ".new");
    std::filesystem::remove(link);
    expectOnlyFile("conf.kxs");
}

TEST_F(SaveSettings, CharacterOutsideWindows1252IsRefusedAndOldFileKept) {
    WriteBytes(path, kOldContents);
    settings.postfix = "a\u65E5";
    save(path);
    expectFailureBox(path);
    EXPECT_EQ(ReadBytes(path), kOldContents);
    expectOnlyFile("conf.kxs");
}

// Lowers the largest file size this process may write; writes beyond it fail with EFBIG.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(SaveSettings, FailedWriteKeepsTheOldFileAndReportsNoSuccess) {
    WriteBytes(path, kOldContents);
    {
        const FileSizeLimit limit(100);
        save(path);
    }
    expectFailureBox(path);
    EXPECT_EQ(ReadBytes(path), kOldContents);
    expectOnlyFile("conf.kxs");
}

// A tiny file system of its own, unmounted afterwards; needs the right to mount.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(const std::string& where) : where_(where) {
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=16k") == 0;
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    [[nodiscard]] bool mounted() const { return mounted_; }

  private:
    std::string where_;
    bool mounted_ = false;
};

TEST_F(SaveSettings, FullDiskKeepsTheOldFileAndReportsNoSuccess) {
    const std::string mountPoint = dir.file("small");
    std::filesystem::create_directory(mountPoint);
    const SmallFileSystem fileSystem(mountPoint);
    if (!fileSystem.mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const std::string target = mountPoint + "/conf.kxs";
    WriteBytes(target, kOldContents);
    {
        // Fill what is left, so that not even one more page can be written.
        std::ofstream filler(mountPoint + "/filler", std::ios::binary);
        const std::string block(1024, 'f');
        for (int i = 0; i < 64 && filler; ++i) {
            filler << block << std::flush;
        }
    }
    save(target);
    expectFailureBox(target);
    EXPECT_EQ(ReadBytes(target), kOldContents);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mountPoint),
                            std::filesystem::directory_iterator()),
              2);
}

}  // namespace
}  // namespace rq
