#ifndef _WIN32
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
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
    for (const std::string value :
         {"A,B", " lead", "trail ", "\r\nx", "\r", "A\rB", ",", "  ", " a,b "}) {
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

TEST_F(SaveSettings, CharacterOutsideWindows1252IsRefusedAndOldFileKept) {
    WriteBytes(path, kOldContents);
    settings.postfix = "a\u65E5";
    save(path);
    expectFailureBox(path);
    EXPECT_EQ(ReadBytes(path), kOldContents);
    expectOnlyFile("conf.kxs");
}

#ifndef _WIN32  // owners, modes, links, attributes, limits and mounts of POSIX
// What a save in a child process reported, carried back by its exit code.
enum ChildSave : int { kSavedOk = 0, kErrorBox = 1, kOtherReport = 2 };

// Saves the defaults to `target` in a child process running as `user`.
ChildSave SaveInChildAs(uid_t user, const std::string& target) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() != user &&
            (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)) {
            ::_exit(kOtherReport);
        }
        FakeStatusLog log;
        FakeDialogs dialogs;
        SaveSettingsFile(target, ReaderSettings{}, log, dialogs);
        const bool ok = dialogs.shown.empty() &&
                        log.lines() == std::vector<std::string>{"Settings saved ok to : " + target};
        // A target that is no file is named as such in a status line before the box.
        const bool box =
            (log.lines().empty() ||
             (log.lines().size() == 1 && log.lines()[0].find("not a file") != std::string::npos)) &&
            dialogs.shown.size() == 1 &&
            dialogs.shown[0].prompt == "Save settings to file " + target + " Error!!";
        ::_exit(ok ? kSavedOk : box ? kErrorBox : kOtherReport);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return kOtherReport;
    }
    return static_cast<ChildSave>(WEXITSTATUS(status));
}

// What a save must keep of each entry of a folder: kind, mode, owner, links, attributes.
std::map<std::string, std::string> Keepables(const std::string& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::string names(1024, '\0');
        names.resize(std::max<ssize_t>(0, ::llistxattr(entry.path().c_str(), names.data(), 1024)));
        entries[entry.path().filename()] =
            std::to_string(info.st_mode) + ' ' + std::to_string(info.st_uid) + ' ' +
            std::to_string(info.st_gid) + ' ' + std::to_string(info.st_nlink) + ' ' + names;
    }
    return entries;
}

struct stat Stat(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

// An access ACL that also lets user 1234 read, in the kernel's attribute format: version,
// then tag, permissions and id of each entry.
// clang-format off
const std::string kAcl("\2\0\0\0" "\1\0\6\0\xFF\xFF\xFF\xFF" "\2\0\4\0\xD2\4\0\0"
                       "\4\0\4\0\xFF\xFF\xFF\xFF" "\x10\0\4\0\xFF\xFF\xFF\xFF"
                       "\x20\0\4\0\xFF\xFF\xFF\xFF", 44);
// clang-format on

// An ordinary user saves whatever a plain write could save, keeping what the folder's
// entries carry, and gets the box where a plain write fails; only our own file in a folder
// we may write is replaced by a rename. Each case starts from its own folder holding
// conf.kxs, both the user's; as root, a file can also belong to another user (root).
TEST_F(SaveSettings, SavesWhatAPlainWriteCouldAsAnOrdinaryUser) {
    namespace fs = std::filesystem;
    using Links = std::vector<std::pair<std::string, std::string>>;  // link, what it names
    struct Case {
        const char* name;
        mode_t folderMode = 0755;
        mode_t fileMode = 0644;
        bool rootsFile = false;
        std::string attribute = {}, value = {};
        Links links = {};
        const char* hardLink = nullptr;
        const char* target = "conf.kxs";
        const char* newContentsIn = "conf.kxs";  // nullptr: the box, conf.kxs kept
        bool byRename = false;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {.name = "our file through a link", .fileMode = 0640, .links = {{"l.kxs", "conf.kxs"}},
         .target = "l.kxs", .byRename = true},
        {.name = "a folder we may not write", .folderMode = 0555},
        {.name = "another's file in a sticky folder", .folderMode = 01777, .fileMode = 0666,
         .rootsFile = true},
        {.name = "an ACL", .attribute = "system.posix_acl_access", .value = kAcl},
        {.name = "an extended attribute", .attribute = "user.rq", .value = "kept"},
        {.name = "a second hard link", .hardLink = "other.kxs", .newContentsIn = "other.kxs"},
        {.name = "a dangling link", .links = {{"l.kxs", "made.kxs"}}, .target = "l.kxs",
         .newContentsIn = "made.kxs"},
        {.name = "a link loop", .links = {{"a.kxs", "b.kxs"}, {"b.kxs", "a.kxs"}},
         .target = "a.kxs", .newContentsIn = nullptr},
        {.name = "a link to a read-only file", .fileMode = 0444, .links = {{"l.kxs", "conf.kxs"}},
         .target = "l.kxs", .newContentsIn = nullptr},
        {.name = "a missing folder", .target = "nowhere/conf.kxs", .newContentsIn = nullptr},
        {.name = "a directory", .target = ".", .newContentsIn = nullptr},
    };
    // clang-format on
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 65534 : ::geteuid();  // nobody under root
    const gid_t group = root ? 65534 : ::getegid();
    ::chmod(dir.path().c_str(), 0755);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string folder = dir.file(std::to_string(i)) + "/";
        const std::string conf = folder + "conf.kxs";
        fs::create_directory(folder);
        WriteBytes(conf, kOldContents);
        const uid_t owner = c.rootsFile ? 0 : user;
        if ((c.rootsFile && !root) ||
            (!c.attribute.empty() && ::setxattr(conf.c_str(), c.attribute.c_str(), c.value.data(),
                                                c.value.size(), 0) != 0)) {
            std::cout << "[ skipped  ] " << c.name << ": needs root or file system support\n";
            continue;
        }
        for (const auto& [link, named] : c.links) {
            fs::create_symlink(named, folder + link);
        }
        if (c.hardLink != nullptr) {
            fs::create_hard_link(conf, folder + c.hardLink);
        }
        ASSERT_EQ(::chown(folder.c_str(), user, group) |
                      ::chown(conf.c_str(), owner, owner ? group : 0) |
                      ::chmod(conf.c_str(), c.fileMode) | ::chmod(folder.c_str(), c.folderMode),
                  0);
        const auto keepables = Keepables(folder);
        const ino_t inode = Stat(conf).st_ino;

        EXPECT_EQ(SaveInChildAs(user, folder + c.target), c.newContentsIn ? kSavedOk : kErrorBox);
        auto kept = Keepables(folder);
        if (c.newContentsIn != nullptr) {
            EXPECT_EQ(ReadBytes(folder + c.newContentsIn).size(), 205u);
            if (!keepables.contains(c.newContentsIn)) {
                kept.erase(c.newContentsIn);
            }
        } else {
            EXPECT_EQ(ReadBytes(conf), kOldContents);
        }
        EXPECT_EQ(kept, keepables);
        EXPECT_EQ(Stat(conf).st_ino != inode, c.byRename);
        ::chmod(folder.c_str(), 0755);
    }
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

#endif

}  // namespace
}  // namespace rq
