#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "filemanager/DirectoryListing.h"
#include "filemanager/DriveDirectories.h"
#include "filemanager/PendingFileActions.h"
#include "link/OperationContext.h"
#include "settings/SettingsFile.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

using testing::FakeDialogs;
using testing::FakeStatusLog;

TEST(JoinDirectoryAndName, RootsGetNoSecondSeparator) {
    EXPECT_EQ(JoinDirectoryAndName("/", "conf.kxs", '/'), "/conf.kxs");
    EXPECT_EQ(JoinDirectoryAndName("/media/usb", "conf.kxs", '/'), "/media/usb/conf.kxs");
    EXPECT_EQ(JoinDirectoryAndName("C:\\", "conf.kxs", '\\'), "C:\\conf.kxs");
    EXPECT_EQ(JoinDirectoryAndName("C:\\data", "conf.kxs", '\\'), "C:\\data\\conf.kxs");
}

struct Confirmation {
    FileAction before;
    std::string name;
    FileAction after;
    std::string path;
};

void PrintTo(const Confirmation& c, std::ostream* out) {
    *out << static_cast<int>(c.before) << " '" << c.name << "'";
}

class ConfirmChoice : public ::testing::TestWithParam<Confirmation> {};

TEST_P(ConfirmChoice, StoresThePathAndAdvances) {
    const Confirmation& c = GetParam();
    ProgramState state;
    state.PendingFileAction = c.before;
    ConfirmFileChoice(state, "/data", c.name, '/');
    EXPECT_EQ(state.PendingFileAction, c.after);
    EXPECT_EQ(state.ChosenFilePath, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Transitions, ConfirmChoice,
    ::testing::Values(
        // Open and firmware never append.
        Confirmation{FileAction::PickSettingsToLoad, "conf", FileAction::LoadSettings,
                     "/data/conf"},
        Confirmation{FileAction::PickFirmware, "fw.bin", FileAction::FlashFirmware, "/data/fw.bin"},
        // Save appends ".kxs" unless the path ends in exactly ".kxs".
        Confirmation{FileAction::PickSettingsToSave, "conf", FileAction::SaveSettings,
                     "/data/conf.kxs"},
        Confirmation{FileAction::PickSettingsToSave, "conf.kxs", FileAction::SaveSettings,
                     "/data/conf.kxs"},
        Confirmation{FileAction::PickSettingsToSave, "conf.KXS", FileAction::SaveSettings,
                     "/data/conf.KXS.kxs"},
        Confirmation{FileAction::PickSettingsToSave, "conf.txt", FileAction::SaveSettings,
                     "/data/conf.txt.kxs"},
        // Other values stay, and nothing is appended.
        Confirmation{FileAction::NoAction, "x", FileAction::NoAction, "/data/x"},
        Confirmation{FileAction::SaveSettings, "x", FileAction::SaveSettings, "/data/x"},
        Confirmation{FileAction::FlashFirmware, "x", FileAction::FlashFirmware, "/data/x"}));

// Device seams that a file action must never touch.
class UnusedHid : public HidLibrary {
  public:
    MOCK_METHOD(std::uint32_t, HidDevice_GetNumHidDevices, (std::uint16_t, std::uint16_t),
                (override));
    MOCK_METHOD(std::uint8_t, HidDevice_Open,
                (HidDeviceRef&, std::uint32_t, std::uint16_t, std::uint16_t, std::uint32_t),
                (override));
    MOCK_METHOD(void, HidDevice_GetHandle, (HidDeviceRef), (override));
    MOCK_METHOD(std::uint16_t, HidDevice_GetInputReportBufferLength, (HidDeviceRef), (override));
    MOCK_METHOD(std::uint16_t, HidDevice_GetOutputReportBufferLength, (HidDeviceRef), (override));
    MOCK_METHOD(std::uint8_t, HidDevice_SetOutputReport_Interrupt,
                (HidDeviceRef, std::span<const std::uint8_t>), (override));
    MOCK_METHOD(std::uint8_t, HidDevice_GetInputReport_Interrupt,
                (HidDeviceRef, std::span<std::uint8_t>, std::uint32_t, std::uint32_t&), (override));
    MOCK_METHOD(std::uint8_t, HidDevice_Close, (HidDeviceRef), (override));
};

class UnusedSerial : public SerialPort {
  public:
    MOCK_METHOD(void, setCommPort, (int), (override));
    MOCK_METHOD(int, commPort, (), (const, override));
    MOCK_METHOD(SerialFailure, setSettings, (std::string_view), (override));
    MOCK_METHOD(std::string_view, settings, (), (const, override));
    MOCK_METHOD(void, setInputMode, (int), (override));
    MOCK_METHOD(bool, isOpen, (), (const, override));
    MOCK_METHOD(SerialFailure, open, (), (override));
    MOCK_METHOD(void, close, (), (override));
    MOCK_METHOD(SerialFailure, inBufferCount, (int&), (override));
    MOCK_METHOD(void, discardInput, (), (override));
    MOCK_METHOD(void, discardOutput, (), (override));
    MOCK_METHOD(SerialFailure, output, (std::span<const std::uint8_t>), (override));
    MOCK_METHOD(SerialFailure, input, (std::vector<std::uint8_t>&), (override));
    MOCK_METHOD(void, waitForInput, (std::chrono::nanoseconds), (override));
    MOCK_METHOD(void, setReceiveHandler, (std::function<void()>), (override));
};

class UnusedClock : public Clock {
  public:
    MOCK_METHOD(Duration, now, (), (const, override));
    MOCK_METHOD(void, sleepUntil, (Duration), (override));
    MOCK_METHOD(void, keepAlive, (), (override));
};

class RunPendingAction : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("rq-pending-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        state.ChosenFilePath = (dir / "conf.kxs").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void run(FileAction action) {
        state.PendingFileAction = action;
        RunPendingFileAction(context, [this](OperationContext& ctx) {
            ++firmwareRuns;
            EXPECT_EQ(&ctx.state, &state);
        });
        EXPECT_EQ(state.PendingFileAction, action) << "the action is not reset";
    }

    std::filesystem::path dir;
    ProgramState state;
    ReaderSettings settings;
    FakeStatusLog log;
    FakeDialogs dialogs;
    ::testing::StrictMock<UnusedHid> hid;
    ::testing::StrictMock<UnusedSerial> serial;
    ::testing::StrictMock<UnusedClock> clock;
    OperationContext context{state, settings, log, dialogs, hid, serial, clock};
    int firmwareRuns = 0;
};

TEST_F(RunPendingAction, SaveThenLoadUseTheChosenPath) {
    settings.prefix = "saved";
    run(FileAction::SaveSettings);
    EXPECT_TRUE(std::filesystem::exists(state.ChosenFilePath));
    settings.prefix = "changed";
    run(FileAction::LoadSettings);
    EXPECT_EQ(settings.prefix, "saved");
    EXPECT_EQ(log.lines().back(), "Settings put on all fields.");
    EXPECT_EQ(firmwareRuns, 0);
}

TEST_F(RunPendingAction, FirmwareRunsTheHookAndOtherValuesDoNothing) {
    run(FileAction::FlashFirmware);
    EXPECT_EQ(firmwareRuns, 1);
    for (const FileAction action : {FileAction::NoAction, FileAction::PickSettingsToLoad,
                                    FileAction::PickSettingsToSave, FileAction::PickFirmware}) {
        run(action);
    }
    EXPECT_EQ(firmwareRuns, 1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(state.ChosenFilePath));

    // Without a firmware hook nothing happens either.
    state.PendingFileAction = FileAction::FlashFirmware;
    RunPendingFileAction(context, {});
}

TEST(DriveDirectories, VolumesAreFoundByTheirRootsAndRememberTheirDirectory) {
    const std::vector<std::string> roots = {"/", "/media/usb", "/media/usb2"};
    DriveDirectories drives("/home/op");
    EXPECT_EQ(drives.driveOf("/home/op", roots), "/");
    EXPECT_EQ(drives.driveOf("/media/usb", roots), "/media/usb");
    EXPECT_EQ(drives.driveOf("/media/usb/conf", roots), "/media/usb");
    EXPECT_EQ(drives.driveOf("/media/usb2/x", roots), "/media/usb2");
    EXPECT_EQ(drives.driveOf("/media/usbstick", roots), "/");

    EXPECT_EQ(drives.currentDirectory(), "/home/op");
    EXPECT_EQ(drives.directoryOf("/media/usb"), "/media/usb");
    drives.remember("/media/usb", "/media/usb/conf");
    EXPECT_EQ(drives.directoryOf("/media/usb"), "/media/usb/conf");
    EXPECT_EQ(drives.currentDirectory(), "/media/usb/conf");
    drives.forget("/media/usb");
    EXPECT_EQ(drives.directoryOf("/media/usb"), "/media/usb");

    const DriveDirectories windows("C:\\data", '\\');
    EXPECT_EQ(windows.driveOf("C:\\data", {"C:\\", "D:\\"}), "C:\\");
}

TEST(IsOperatorVolume, KeepsDisksAndDropsSystemFileSystems) {
    EXPECT_TRUE(IsOperatorVolume("/", "overlay"));
    EXPECT_TRUE(IsOperatorVolume("/home", "ext4"));
    EXPECT_TRUE(IsOperatorVolume("/media/op/STICK", "vfat"));
    EXPECT_TRUE(IsOperatorVolume("/run/media/op/STICK", "exfat"));
    EXPECT_FALSE(IsOperatorVolume("/proc", "proc"));
    EXPECT_FALSE(IsOperatorVolume("/run/user/1000", "tmpfs"));
    EXPECT_FALSE(IsOperatorVolume("/boot/efi", "vfat"));
    EXPECT_FALSE(IsOperatorVolume("/snap/core/1", "squashfs"));
    EXPECT_FALSE(IsOperatorVolume("/etc/hosts", "overlay"));
}

TEST(DirectoryListing, PatternsIgnoreCaseAndHiddenEntriesAreLeftOut) {
    EXPECT_TRUE(MatchesPattern("conf.kxs", "*.kxs"));
    EXPECT_TRUE(MatchesPattern("CONF.KXS", "*.kxs"));
    EXPECT_TRUE(MatchesPattern(".kxs", "*.kxs"));
    EXPECT_FALSE(MatchesPattern("conf.kxs.bak", "*.kxs"));
    EXPECT_FALSE(MatchesPattern("conf.bin", "*.kxs"));
    EXPECT_TRUE(MatchesPattern("a.b.bin", "*.bin"));
    EXPECT_TRUE(MatchesPattern("ab", "a?"));

    const auto dir = std::filesystem::temp_directory_path() / "rq-listing-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "beta");
    std::filesystem::create_directories(dir / "Alpha");
    std::filesystem::create_directories(dir / ".hidden");
    std::filesystem::create_directories(dir / "dir.kxs");
    for (const char* name : {"b.kxs", "A.KXS", ".h.kxs", "c.bin"}) {
        std::ofstream(dir / name) << "x";
    }
    EXPECT_EQ(ListSubdirectories(dir.string()).names,
              (std::vector<std::string>{"Alpha", "beta", "dir.kxs"}));
    EXPECT_EQ(ListMatchingFiles(dir.string(), "*.kxs").names,
              (std::vector<std::string>{"A.KXS", "b.kxs"}));

    const DirectoryListing missing = ListSubdirectories((dir / "gone").string());
    EXPECT_TRUE(missing.names.empty());
    EXPECT_NE(missing.problem.find((dir / "gone").string()), std::string::npos);
    EXPECT_EQ(NearestReadableDirectory((dir / "gone/deeper").string()), dir.string());
    EXPECT_EQ(ParentDirectory(dir.string()), dir.parent_path().string());
    EXPECT_EQ(ParentDirectory("/"), "/");
    std::filesystem::remove_all(dir);
}

#ifdef _WIN32
// NTFS takes any UTF-16 units in a name, a surrogate without its partner too; such a
// name is listed with U+FFFD rather than ending the program.
TEST(DirectoryListing, NameWithALoneSurrogateIsListedWithAReplacement) {
    const auto dir = std::filesystem::temp_directory_path() / "rq-surrogate-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::wstring name = {L'a', static_cast<wchar_t>(0xD800), L'.', L'k', L'x', L's'};
    if (!std::ofstream(dir / name)) {
        GTEST_SKIP() << "this file system takes no such name";
    }
    std::ofstream(dir / "b.kxs") << "x";
    EXPECT_EQ(ListMatchingFiles(dir.string(), "*.kxs").names,
              (std::vector<std::string>{"a\xEF\xBF\xBD.kxs", "b.kxs"}));
    std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace rq
