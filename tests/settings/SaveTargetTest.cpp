// Saving refuses every target that is no file on a disk, and writes nothing to it: a
// device (NUL, COM1 and the other DOS names in any folder on Windows, /dev/null or a
// terminal elsewhere), a pipe, a folder, an alternate stream.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/WindowsFileNames.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

// The names Windows takes for devices or streams, judged as text on every system.
TEST(SaveTargets, WindowsDeviceNamesAndStreamsAreToldApartFromFiles) {
    const std::vector<std::string> refused = {"nul.kxs",
                                              "NUL",
                                              "com1.kxs",
                                              "con",
                                              "lpt1.txt",
                                              "Com9.kxs",
                                              "lpt0.tar.gz",
                                              "aux.kxs  ",
                                              "nul .kxs",
                                              "com1.kxs.",
                                              "prn...",
                                              "COM\xC2\xB9.kxs",
                                              "lpt\xC2\xB3",
                                              "conout$",
                                              "CONIN$.kxs",
                                              "C:\\Users\\op\\nul.kxs",
                                              "C:con.kxs",
                                              "d/e/aux",
                                              "C:\\d\\a:b.kxs",
                                              "C:\\dir\\conf.kxs:hidden",
                                              "\\\\.\\COM1",
                                              "\\\\.\\C:\\a.kxs",
                                              "\\\\?\\GLOBALROOT\\Device\\Null"};
    for (const auto& path : refused) {
        EXPECT_TRUE(WindowsNonFileReason(path)) << path;
    }
    const std::vector<std::string> accepted = {"conf.kxs",
                                               "nul_.kxs",
                                               "com10.kxs",
                                               "console.kxs",
                                               "lpt.kxs",
                                               "com\xC2\xB9\xC2\xB9.kxs",
                                               "xnul.kxs",
                                               "C:\\dir\\a.kxs",
                                               "C:a.kxs",
                                               "\\\\?\\C:\\long\\a.kxs",
                                               "\\\\?\\UNC\\srv\\share\\a.kxs",
                                               "\\\\srv\\share\\a.kxs",
                                               "nul.d\\conf.kxs",
                                               "/home/op/conf.kxs"};
    for (const auto& path : accepted) {
        EXPECT_FALSE(WindowsNonFileReason(path)) << path;
    }
}

struct Target {
    std::string path;
    std::string shownAs;  // what the status line calls it
};

TEST(SaveTargets, WhatIsNoDiskFileIsRefusedAndNothingIsWritten) {
    const testing::TempDir dir;
    std::vector<Target> targets = {{dir.path().string(), "not a file"}};
#ifdef _WIN32
    const std::u8string folder = dir.path().u8string();  // the program's paths are UTF-8
    for (const char* name : {"nul.kxs", "com1.kxs", "con", "lpt1.txt", "NUL .kxs", "com1.kxs.",
                             "COM\xC2\xB9.kxs", "conout$", "a:b.kxs"}) {
        targets.push_back({std::string(folder.begin(), folder.end()) + "\\" + name, "not a file"});
    }
#else
    const std::string fifo = dir.file("pipe.kxs");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // a reader waits
    ASSERT_GE(reader, 0);
    std::filesystem::create_symlink("/dev/null", dir.path() / "null.kxs");
    targets.push_back({fifo, "is a pipe"});
    targets.push_back({"/dev/null", "is a device"});
    targets.push_back({dir.file("null.kxs"), "is a device"});
#endif
    for (const Target& target : targets) {
        SCOPED_TRACE(target.path);
        testing::FakeStatusLog log;
        testing::FakeDialogs dialogs;
        EXPECT_EQ(SaveSettingsFile(target.path, ReaderSettings{}, log, dialogs), Outcome::BadInput);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].prompt, "Save settings to file " + target.path + " Error!!");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(target.shownAs), std::string::npos) << log.lines()[0];
        EXPECT_NE(log.lines()[0].find("nothing was written"), std::string::npos);
    }
#ifndef _WIN32
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0);  // the pipe got no byte
    ::close(reader);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "null.kxs"));
    std::filesystem::remove(fifo);
    std::filesystem::remove(dir.path() / "null.kxs");
#endif
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no file, no temporary file
}

}  // namespace
}  // namespace rq
