#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "FirmwareTestSupport.h"
#include "SampleFirmware.h"
#include "VirtualClock.h"
#include "core/Text.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateFirmware.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"
#include "support/NoDevices.h"

namespace rq {
namespace {

using sim::Bytes;

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

// What the check shows: the confirmation with a version text, or an error box with a code.
enum class Box { Confirm, NotFirmware, OpenError };
enum class Place { File, Missing, Directory, Unreadable };

struct CheckCase {
    const char* name;
    std::function<Bytes()> image;
    Box box;
    std::string versionOrCode;
    Place place = Place::File;
};

// The sample of 200 bytes: marker pointer 0x1528 at 36, version pointer 0x152E at 28.
Bytes Sample(std::function<void(Bytes&)> edit = {}, std::size_t length = 200) {
    Bytes image = sim::MakeSampleFirmware(length, "V1.2");
    if (edit) {
        edit(image);
    }
    return image;
}
auto Put(std::size_t at, std::string_view bytes) {
    return [=](Bytes& image) { std::copy(bytes.begin(), bytes.end(), image.begin() + at); };
}
std::function<Bytes()> Of(Bytes image) {
    return [image] { return image; };
}

std::string Code(ImageFailure f) {
    return text::DecimalWithBlank(static_cast<int>(f));
}

TEST(FirmwareImage, CheckShowsTheConfirmationOrTheErrorBox) {
    using enum ImageFailure;
    const std::vector<CheckCase> cases = {
        {"sample", Of(Sample()), Box::Confirm, "V1.2"},
        {"marker at 0x1540", Of(Sample(Put(36, "\x15\x40"))), Box::NotFirmware, Code(None)},
        {"marker moved to 0x1540", Of(Sample([](Bytes& b) {
             Put(36, "\x15\x40")(b);
             Put(64, "4720IV")(b);
         })),
         Box::Confirm, "V1.2"},
        {"lower-case iv", Of(Sample(Put(44, "iv"))), Box::NotFirmware, Code(None)},
        {"line feeds and high bytes skipped",
         Of(Sample(Put(46, std::string_view("V\n1.\x80\xFF"
                                            "2",
                                            8)))),
         Box::Confirm, "V1.2"},
        {"version cut by the end of the file",
         [] {
             Bytes b = Sample({}, 60);
             b.resize(49);
             return b;
         },
         Box::Confirm, "V1."},
        {"version pointer at offset 1", Of(Sample(Put(28, "\x15\x01"))), Box::Confirm, "&H1501"},
        {"version beyond the file", Of(Sample(Put(28, std::string_view("\x16\x00", 2)))),
         Box::Confirm, ""},
        {"version pointer 0x8000", Of(Sample(Put(28, std::string_view("\x80\x00", 2)))),
         Box::NotFirmware, Code(VersionPointerRange)},
        {"version pointer 0x94FF", Of(Sample(Put(28, "\x94\xFF"))), Box::NotFirmware,
         Code(VersionPointerRange)},
        {"version pointer 0x9500", Of(Sample(Put(28, std::string_view("\x95\x00", 2)))),
         Box::Confirm, "&H9500"},
        {"marker pointer 0x8000", Of(Sample(Put(36, std::string_view("\x80\x00", 2)))),
         Box::NotFirmware, Code(MarkerPointerRange)},
        {"marker pointer 0xFFFF", Of(Sample(Put(36, "\xFF\xFF"))), Box::NotFirmware, Code(None)},
        {"marker pointer at offset 1", Of(Sample(Put(36, "\x15\x01"))), Box::NotFirmware,
         Code(None)},
        {"marker past the end of the file", Of(Sample(Put(36, "\x15\xC5"))), Box::NotFirmware,
         Code(MarkerOutsideFile)},
        {"empty", Of({}), Box::NotFirmware, Code(PointersOutsideFile)},
        {"1 byte", Of({0x15}), Box::NotFirmware, Code(PointersOutsideFile)},
        {"37 bytes", Of(Bytes(37, 0x15)), Box::NotFirmware, Code(PointersOutsideFile)},
        {"32767 bytes", Of(Sample({}, 32767)), Box::Confirm, "V1.2"},
        {"32768 bytes", Of(Sample({}, 32768)), Box::NotFirmware, Code(TooLong)},
        {"100000 bytes", Of(Sample({}, 100000)), Box::NotFirmware, Code(TooLong)},
        {"vanished after it was chosen", Of({}), Box::OpenError, Code(NotFound), Place::Missing},
        {"a directory", Of({}), Box::OpenError, Code(NotAFile), Place::Directory},
        {"unreadable", Of(Sample()), Box::OpenError, Code(NotReadable), Place::Unreadable},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.place == Place::Unreadable && ::geteuid() == 0) {
            continue;  // root reads every file
        }
        testing::FirmwareDir dir;
        ProgramState state;
        // An earlier, longer image must leave nothing behind in the buffer.
        std::fill(state.FirmwareImage.begin(), state.FirmwareImage.end(), 'A');
        state.LinkStatus = LinkState::Test232;
        state.ChosenFilePath =
            c.place == Place::Directory ? dir.path().string() : dir.write(c.image());
        if (c.place == Place::Missing) {
            std::filesystem::remove(state.ChosenFilePath);
        } else if (c.place == Place::Unreadable) {
            std::filesystem::permissions(state.ChosenFilePath, std::filesystem::perms::none);
        }
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
        const auto& shown = dialogs.shown[0];
        switch (c.box) {
            case Box::Confirm:
                EXPECT_EQ(shown.prompt, "The version message of binary file: \n" + c.versionOrCode +
                                            "\n\nAre you sure to start flash ?\n");
                EXPECT_EQ(shown.title, "Firmware Update");
                EXPECT_EQ(shown.buttons, DialogButtons::OkCancel);
                break;
            case Box::NotFirmware:
                EXPECT_EQ(shown.prompt, "File: " + state.ChosenFilePath +
                                            " is not firmware for RQ-4720! " + c.versionOrCode);
                break;
            case Box::OpenError:
                EXPECT_EQ(shown.prompt, "Open binary file error! " + c.versionOrCode);
                break;
        }
        EXPECT_EQ(shown.title, c.box == Box::Confirm ? "Firmware Update" : "Error");
        EXPECT_EQ(state.LinkStatus,
                  c.box == Box::OpenError ? LinkState::Empty : LinkState::Test232);
        EXPECT_TRUE(log.lines().empty()) << "nothing was sent";
    }
}

}  // namespace
}  // namespace rq
