#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "SampleFirmware.h"
#include "VirtualClock.h"
#include "core/Text.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateFirmware.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"
#include "support/NoDevices.h"

namespace rq {
namespace {

using sim::Bytes;

// Root reads every file, and Windows has no mode that keeps its owner from reading.
bool FilesCanBeMadeUnreadable() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() != 0;
#endif
}

TEST(FirmwareImage, ReadImagePointerGivesTheTextAndTheSignedOffset) {
    struct Case {
        std::uint8_t high, low;
        std::string text;
        std::optional<int> offset;
    };
    for (const Case& c : std::vector<Case>{{0x15, 0x3C, "&H153C", 0x3C},
                                           {0x00, 0x05, "&H005", 5 - 0x1500},
                                           {0x01, 0xA0, "&H1A0", 0x1A0 - 0x1500},
                                           {0x7F, 0xFF, "&H7FFF", 0x7FFF - 0x1500},
                                           {0x80, 0x00, "&H8000", std::nullopt},
                                           {0x94, 0xFF, "&H94FF", std::nullopt},
                                           {0x95, 0x00, "&H9500", -32768},
                                           {0xFF, 0xFF, "&HFFFF", -1 - 0x1500}}) {
        ProgramState state;
        state.FirmwareImage[36] = c.high;
        state.FirmwareImage[37] = c.low;
        const ImagePointer pointer = ReadImagePointer(state, 36, 37);
        EXPECT_EQ(pointer.text, c.text);
        EXPECT_EQ(pointer.offset, c.offset) << c.text;
    }
}

enum class Box { Confirm, NotFirmware, OpenError };
enum class Place { File, Missing, Directory, Unreadable };

struct CheckCase {
    const char* name;
    std::size_t size;  // of a sample (version "V1.2" at 46, marker at 40), cut or padded
    std::vector<std::pair<std::size_t, Bytes>> patches;
    Box box;
    std::string shown;  // the version text, or the failure code
    Place place = Place::File;
};

std::string Code(ImageFailure f) {
    return text::DecimalWithBlank(static_cast<int>(f));
}

TEST(FirmwareImage, CheckShowsTheConfirmationOrTheErrorBox) {
    using enum ImageFailure;
    const Bytes iv = {'4', '7', '2', '0', 'I', 'V'};
    // clang-format off
    const std::vector<CheckCase> cases = {
        {"sample", 200, {}, Box::Confirm, "V1.2"},
        {"marker pointer 0x1540, nothing there", 200, {{36, {0x15, 0x40}}}, Box::NotFirmware, Code(None)},
        {"marker at 0x1540", 200, {{36, {0x15, 0x40}}, {64, iv}}, Box::Confirm, "V1.2"},
        {"lower-case iv", 200, {{44, {'i', 'v'}}}, Box::NotFirmware, Code(None)},
        {"line feeds, high bytes", 200, {{46, {'V', 10, '1', '.', 0x80, 0xFF, '2', 0}}}, Box::Confirm, "V1.2"},
        {"version cut by the end of the file", 49, {}, Box::Confirm, "V1."},
        {"version pointer at offset 1", 200, {{28, {0x15, 0x01}}}, Box::Confirm, "&H1501"},
        {"version beyond the file", 200, {{28, {0x16, 0x00}}}, Box::Confirm, ""},
        {"version pointer 0x8000", 200, {{28, {0x80, 0x00}}}, Box::NotFirmware, Code(VersionPointerRange)},
        {"version pointer 0x94FF", 200, {{28, {0x94, 0xFF}}}, Box::NotFirmware, Code(VersionPointerRange)},
        {"version pointer 0x9500", 200, {{28, {0x95, 0x00}}}, Box::Confirm, "&H9500"},
        {"marker pointer 0x8000", 200, {{36, {0x80, 0x00}}}, Box::NotFirmware, Code(MarkerPointerRange)},
        {"marker pointer 0xFFFF", 200, {{36, {0xFF, 0xFF}}}, Box::NotFirmware, Code(None)},
        {"marker pointer at offset 1", 200, {{36, {0x15, 0x01}}}, Box::NotFirmware, Code(None)},
        {"marker past the end", 200, {{36, {0x15, 0xC5}}}, Box::NotFirmware, Code(MarkerOutsideFile)},
        {"marker in the last 6 bytes", 46, {}, Box::Confirm, ""},
        {"empty", 0, {}, Box::NotFirmware, Code(PointersOutsideFile)},
        {"1 byte", 1, {}, Box::NotFirmware, Code(PointersOutsideFile)},
        {"37 bytes", 37, {}, Box::NotFirmware, Code(PointersOutsideFile)},
        {"38 bytes: pointers whole, marker beyond", 38, {}, Box::NotFirmware, Code(MarkerOutsideFile)},
        {"32767 bytes", 32767, {}, Box::Confirm, "V1.2"},
        {"32768 bytes", 32768, {}, Box::NotFirmware, Code(TooLong)},
        {"100000 bytes", 100000, {}, Box::NotFirmware, Code(TooLong)},
        {"vanished after it was chosen", 200, {}, Box::OpenError, Code(NotFound), Place::Missing},
        {"a directory", 200, {}, Box::OpenError, Code(NotAFile), Place::Directory},
        {"unreadable", 200, {}, Box::OpenError, Code(NotReadable), Place::Unreadable},
    };
    // clang-format on
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.place == Place::Unreadable && !FilesCanBeMadeUnreadable()) {
            continue;
        }
        Bytes image = sim::MakeSampleFirmware(std::max<std::size_t>(c.size, 60), "V1.2");
        for (const auto& [at, bytes] : c.patches) {
            std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
        }
        image.resize(c.size);
        testing::TempDir dir;
        ProgramState state;
        state.ChosenFilePath =
            c.place == Place::Directory ? dir.path().string() : dir.file("x.bin");
        if (c.place != Place::Missing && c.place != Place::Directory) {
            testing::WriteBytes(state.ChosenFilePath, std::string(image.begin(), image.end()));
        }
        if (c.place == Place::Unreadable) {
            std::filesystem::permissions(state.ChosenFilePath, std::filesystem::perms::none);
        }
        // An earlier, longer image must leave nothing behind in the buffer.
        std::fill(state.FirmwareImage.begin(), state.FirmwareImage.end(), 'A');
        state.LinkStatus = LinkState::Test232;
        ReaderSettings settings;
        testing::FakeStatusLog log;
        testing::FakeDialogs dialogs;
        dialogs.answers = {DialogAnswer::Cancel};
        testing::NoHidLibrary hid;
        testing::NoSerialPort serial;
        sim::VirtualClock clock;
        OperationContext ctx{state, settings, log, dialogs, hid, serial, clock};

        UpdateFirmware(ctx);

        ASSERT_EQ(dialogs.shown.size(), 1u);
        const std::string expected =
            c.box == Box::Confirm ? "The version message of binary file: \n" + c.shown +
                                        "\n\nAre you sure to start flash ?\n"
            : c.box == Box::NotFirmware
                ? "File: " + state.ChosenFilePath + " is not firmware for RQ-4720! " + c.shown
                : "Open binary file error! " + c.shown;
        EXPECT_EQ(dialogs.shown[0].prompt, expected);
        EXPECT_EQ(dialogs.shown[0].title, c.box == Box::Confirm ? "Firmware Update" : "Error");
        EXPECT_EQ(state.LinkStatus,
                  c.box == Box::OpenError ? LinkState::Empty : LinkState::Test232);
        EXPECT_TRUE(log.lines().empty()) << "nothing was sent";
    }
}

}  // namespace
}  // namespace rq
