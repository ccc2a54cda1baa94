// The virtual USB reader's side of /dev/uhid: its descriptors as the tool reads them, the
// events it writes and how it takes what the kernel hands it; the image check of
// rq4720-sim --check-image.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "ImageCheck.h"
#include "SimOptions.h"
#include "UhidReports.h"
#include "platform/HidReportDescriptor.h"

namespace rq::sim::uhid {
namespace {

using namespace std::chrono_literals;

TEST(UhidReports, DescriptorsAreWhatTheToolLooksFor) {
    // The tool wants 9-byte input and output reports (ID 0 and 8 bytes) on the vendor
    // interface, and passes over the keyboard.
    const HidReportLayout vendor = ParseHidReportDescriptor(VendorDescriptor());
    EXPECT_EQ(vendor.inputLength, 9);
    EXPECT_EQ(vendor.outputLength, 9);
    EXPECT_FALSE(vendor.numberedReports);
    EXPECT_FALSE(IsSystemInputInterface(vendor));
    const HidReportLayout keyboard = ParseHidReportDescriptor(KeyboardDescriptor());
    EXPECT_TRUE(IsSystemInputInterface(keyboard));
    EXPECT_EQ(keyboard.inputLength, 9);
    EXPECT_EQ(keyboard.outputLength, 2);
}

TEST(UhidReports, CreateNamesTheReaderOnUsb) {
    for (const Interface interface : {Interface::Vendor, Interface::Keyboard}) {
        const uhid_event event = CreateEvent({.serialNumber = "SIM0002"}, interface);
        const auto& create = event.u.create2;
        EXPECT_EQ(event.type, UHID_CREATE2);
        EXPECT_EQ(create.bus, BUS_USB);
        EXPECT_EQ(create.vendor, 0x10C4u);
        EXPECT_EQ(create.product, 0x84B7u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(create.uniq)), "SIM0002");
        const auto descriptor =
            interface == Interface::Vendor ? VendorDescriptor() : KeyboardDescriptor();
        ASSERT_EQ(create.rd_size, descriptor.size());
        EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.end(), create.rd_data));
    }
}

TEST(UhidReports, InputIsThePayloadAlone) {
    const std::vector<std::uint8_t> payload = {0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I'};
    const uhid_event event = InputEvent(payload);
    EXPECT_EQ(event.type, UHID_INPUT2);
    ASSERT_EQ(event.u.input2.size, 8);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), event.u.input2.data));
}

uhid_event Output(std::vector<std::uint8_t> data, std::uint8_t rtype = UHID_OUTPUT_REPORT) {
    uhid_event event{};
    event.type = UHID_OUTPUT;
    std::copy(data.begin(), data.end(), event.u.output.data);
    event.u.output.size = static_cast<std::uint16_t>(data.size());
    event.u.output.rtype = rtype;
    return event;
}

TEST(UhidReports, OutputReportsReachTheModelWithIdZeroFirst) {
    const Report expected = {0, 0x1B, 0xA8, 1, 2, 3, 4, 5, 6};
    struct Case {
        const char* what;
        uhid_event event;
        std::optional<Report> report;
    };
    const std::vector<Case> cases = {
        {"hidraw: ID 0 and 8 bytes", Output({0, 0x1B, 0xA8, 1, 2, 3, 4, 5, 6}), expected},
        {"the payload alone", Output({0x1B, 0xA8, 1, 2, 3, 4, 5, 6}), expected},
        {"a short report is padded", Output({0, 0x1B, 0xA8}), Report{0, 0x1B, 0xA8}},
        {"9 bytes not starting with 0 keep their first", Output({7, 1, 2, 3, 4, 5, 6, 7, 8}),
         Report{0, 7, 1, 2, 3, 4, 5, 6, 7}},
        {"a feature report is not a command", Output({0, 0x1B, 0}, UHID_FEATURE_REPORT),
         std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Handle(c.event).outputReport, c.report) << c.what;
        EXPECT_FALSE(Handle(c.event).reply) << c.what;
    }
}

TEST(UhidReports, ControlRequestsAreAnsweredWithAnError) {
    // Unanswered, the kernel would wait seconds for them.
    uhid_event get{};
    get.type = UHID_GET_REPORT;
    get.u.get_report.id = 41;
    const auto getReply = Handle(get).reply;
    ASSERT_TRUE(getReply);
    EXPECT_EQ(getReply->type, UHID_GET_REPORT_REPLY);
    EXPECT_EQ(getReply->u.get_report_reply.id, 41u);
    EXPECT_EQ(getReply->u.get_report_reply.err, EIO);
    uhid_event set{};
    set.type = UHID_SET_REPORT;
    set.u.set_report.id = 42;
    const auto setReply = Handle(set).reply;
    ASSERT_TRUE(setReply);
    EXPECT_EQ(setReply->type, UHID_SET_REPORT_REPLY);
    EXPECT_EQ(setReply->u.set_report_reply.id, 42u);
    EXPECT_NE(setReply->u.set_report_reply.err, 0);
    uhid_event open{};
    open.type = UHID_OPEN;
    EXPECT_FALSE(Handle(open).reply);
    EXPECT_FALSE(Handle(open).outputReport);
}

TEST(UhidReports, UsbOptions) {
    const std::vector<std::string_view> arguments = {
        "--usb", "--count", "2", "--check-image", "a.bin", "--fault", "unplug-after=300"};
    const auto parsed = ParseOptions(arguments);
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.usb);
    EXPECT_EQ(parsed.options.count, 2);
    EXPECT_EQ(parsed.options.checkImage, "a.bin");
    EXPECT_EQ(parsed.options.faults.unplugAfterFrames, 300);
    const std::vector<std::string_view> terminals = {"--usb", "--silent", "1"};
    EXPECT_NE(ParseOptions(terminals).error, "");
}

TEST(ImageCheck, SaysWhereTheImageDiffers) {
    const std::string path = ::testing::TempDir() + "rq4720-image-check.bin";
    {
        std::ofstream file(path, std::ios::binary);
        file << "ABCDEF";
    }
    const auto check = ImageCheck::Load(path);
    ASSERT_TRUE(check);
    const auto bytes = [](std::string text) { return Bytes(text.begin(), text.end()); };
    EXPECT_NE(check->verdict(bytes("ABCDEF"), 1500ms)
                  .find("6 bytes, byte for byte (image frames: 1.500 s)"),
              std::string::npos);
    EXPECT_NE(
        check->verdict(bytes("ABCxEF"), {}).find("differs from " + path + " (6 bytes) at byte 3"),
        std::string::npos);
    EXPECT_NE(check->verdict(bytes("ABCDE"), {}).find("at byte 5"), std::string::npos);
    EXPECT_NE(check->verdict(bytes("ABCDEFG"), {}).find("(7 bytes) differs"), std::string::npos);
    EXPECT_FALSE(ImageCheck::Load(path + ".missing"));
    EXPECT_EQ(ImageCheck::Load("")->verdict(bytes("AB"), 20ms),
              "flash complete, 2 bytes (image frames: 0.020 s)");
}

}  // namespace
}  // namespace rq::sim::uhid
