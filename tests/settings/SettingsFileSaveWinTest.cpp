// Saving through the Windows calls: replacing, second links and names beyond the ANSI
// code page.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

// Run under Wine as well, which neither keeps attributes through ReplaceFileW nor stops
// root at a read-only file; those two are for a Windows machine (docs/windows.md).
TEST(SaveSettingsOnWindows, ReplacesFilesKeepsSecondLinksAndTakesUnicodeNames) {
    const struct {
        const char* name;
        bool exists;
        bool hardLink;
    } cases[] = {
        {"plain.kxs", true, false},
        {"linked.kxs", true, true},
        {"caf\xC3\xA9 \xE2\x82\xAC.kxs", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const std::filesystem::path file =
            dir.path() / std::u8string(c.name, c.name + std::strlen(c.name));
        const std::filesystem::path other = dir.path() / "other.kxs";
        if (c.exists) {
            std::ofstream(file, std::ios::binary) << "old";
        }
        if (c.hardLink) {
            std::filesystem::create_hard_link(file, other);
        }
        testing::FakeStatusLog log;
        testing::FakeDialogs dialogs;
        const std::u8string utf8 = file.u8string();  // the program's paths are UTF-8
        SaveSettingsFile(std::string(utf8.begin(), utf8.end()), ReaderSettings{}, log, dialogs);

        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(std::filesystem::file_size(file), 205u);
        if (c.hardLink) {
            EXPECT_EQ(std::filesystem::file_size(other), 205u);  // written in place
        }
        const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(entries, c.hardLink ? 2 : 1);  // no temporary file stays behind
    }
}

}  // namespace
}  // namespace rq
