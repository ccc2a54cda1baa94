#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/HidReportDescriptor.h"

namespace rq {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A vendor collection with one unnumbered 8-byte input and one 8-byte output report,
// the layout of the reader's configuration interface.
const Bytes kVendor8x8 = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Var, Abs)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Var, Abs)
    0xC0,              // End Collection
};

// The boot keyboard descriptor as keyboards ship it.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
};

Bytes VendorCollection(const Bytes& body) {
    Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    for (const std::uint8_t b : body) {  // (insert() trips a GCC 12 bounds warning)
        d.push_back(b);
    }
    d.push_back(0xC0);
    return d;
}

TEST(HidReportDescriptor, EightByteReportsGiveNineByteLengths) {
    const HidReportLayout layout = ParseHidReportDescriptor(kVendor8x8);
    EXPECT_EQ(layout.inputLength, 9);
    EXPECT_EQ(layout.outputLength, 9);
    EXPECT_FALSE(layout.numberedReports);
    ASSERT_EQ(layout.applications.size(), 1u);
    EXPECT_EQ(layout.applications[0], (HidUsage{0xFF00, 0x01}));
    EXPECT_FALSE(IsSystemInputInterface(layout));
}

TEST(HidReportDescriptor, BootKeyboardIsASystemInputInterface) {
    const HidReportLayout layout = ParseHidReportDescriptor(kBootKeyboard);
    EXPECT_EQ(layout.inputLength, 9);   // modifiers, reserved, six keys
    EXPECT_EQ(layout.outputLength, 2);  // five LED bits and three padding bits
    ASSERT_EQ(layout.applications.size(), 1u);
    EXPECT_EQ(layout.applications[0], (HidUsage{0x01, 0x06}));
    EXPECT_TRUE(IsSystemInputInterface(layout));
}

TEST(HidReportDescriptor, SumsEveryFieldAndRoundsBitsUpToBytes) {
    // 64 input bytes in two fields; 12 output bits -> 2 bytes; a feature report is ignored.
    const Bytes d = VendorCollection({0x75, 0x08, 0x95, 0x20, 0x81, 0x02,  // 32 x 8
                                      0x95, 0x20, 0x81, 0x03,              // 32 x 8 constant
                                      0x75, 0x04, 0x95, 0x03, 0x91, 0x02,  // 3 x 4 bits
                                      0x75, 0x08, 0x95, 0x40, 0xB1, 0x02});
    const HidReportLayout layout = ParseHidReportDescriptor(d);
    EXPECT_EQ(layout.inputLength, 65);
    EXPECT_EQ(layout.outputLength, 3);
}

TEST(HidReportDescriptor, NoOutputItemsMeansLengthZero) {
    const Bytes d = VendorCollection({0x75, 0x08, 0x95, 0x08, 0x81, 0x02});
    const HidReportLayout layout = ParseHidReportDescriptor(d);
    EXPECT_EQ(layout.inputLength, 9);
    EXPECT_EQ(layout.outputLength, 0);
}

TEST(HidReportDescriptor, NumberedReportsGiveTheLongestReportPlusItsId) {
    const Bytes d = VendorCollection({0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02,  // ID 1: 8
                                      0x85, 0x02, 0x95, 0x20, 0x81, 0x02,              // ID 2: 32
                                      0x95, 0x04, 0x91, 0x02});  // ID 2 out: 4
    const HidReportLayout layout = ParseHidReportDescriptor(d);
    EXPECT_TRUE(layout.numberedReports);
    EXPECT_EQ(layout.inputLength, 33);
    EXPECT_EQ(layout.outputLength, 5);
}

TEST(HidReportDescriptor, LongItemsAndPushPopAreHandled) {
    Bytes d = kVendor8x8;
    // A long item (2 data bytes) and a Push / Report Size 16 / Pop pair before the fields.
    const Bytes extra = {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0xA4, 0x75, 0x10, 0xB4};
    d.insert(d.begin() + 7, extra.begin(), extra.end());
    const HidReportLayout layout = ParseHidReportDescriptor(d);
    EXPECT_EQ(layout.inputLength, 9);
    EXPECT_EQ(layout.outputLength, 9);

    // Four-byte usages carry their own page.
    const Bytes extended = {0x0B, 0x06, 0x00, 0x01, 0x00, 0xA1, 0x01, 0xC0};
    EXPECT_EQ(ParseHidReportDescriptor(extended).applications.at(0), (HidUsage{0x01, 0x06}));
}

TEST(HidReportDescriptor, EveryTruncationFailsWithLengthZero) {
    for (std::size_t cut = 0; cut < kVendor8x8.size(); ++cut) {
        const Bytes part(kVendor8x8.begin(), kVendor8x8.begin() + static_cast<long>(cut));
        const HidReportLayout layout = ParseHidReportDescriptor(part);
        EXPECT_EQ(layout.inputLength, 0) << "cut at " << cut;
        EXPECT_EQ(layout.outputLength, 0) << "cut at " << cut;
    }
    // A long item whose data runs past the end.
    Bytes d = kVendor8x8;
    d.insert(d.end(), {0xFE, 0x10, 0x00, 0x01});
    EXPECT_EQ(ParseHidReportDescriptor(d).inputLength, 0);
}

TEST(HidReportDescriptor, MalformedDescriptorsFailWithLengthZero) {
    const std::vector<Bytes> bad = {
        VendorCollection({0x85, 0x00, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}),        // report ID 0
        VendorCollection({0x86, 0x00, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}),  // ID 256
        {0xC0},                                                                    // stray end
        VendorCollection({0xB4}),                                                  // pop, no push
        VendorCollection({0xFC, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}),              // reserved type
        VendorCollection({0xD4, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}),  // reserved global
        VendorCollection({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81,
                          0x02}),  // 2^32 x 2^32 bits: no overflow, too long
        // Unnumbered fields followed by numbered ones.
        VendorCollection({0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02}),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const HidReportLayout layout = ParseHidReportDescriptor(bad[i]);
        EXPECT_EQ(layout.inputLength, 0) << "case " << i;
        EXPECT_EQ(layout.outputLength, 0) << "case " << i;
    }
}

TEST(HidReportDescriptor, RandomBytesNeverCrashTheParser) {
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        Bytes d(static_cast<std::size_t>(round % 97));
        for (auto& b : d) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(state >> 24);
        }
        const HidReportLayout layout = ParseHidReportDescriptor(d);
        EXPECT_LE(layout.applications.size(), d.size());
    }
}

TEST(HidReportDescriptor, SystemInputNeedsEveryCollectionToBeKeyboardOrMouse) {
    HidReportLayout layout;
    EXPECT_FALSE(IsSystemInputInterface(layout));
    layout.applications = {{0x01, 0x02}};
    EXPECT_TRUE(IsSystemInputInterface(layout));
    layout.applications.push_back({0xFF00, 0x01});
    EXPECT_FALSE(IsSystemInputInterface(layout));
}

TEST(HidrawDescriptorPath, AcceptsOnlyHidrawDeviceNodes) {
    EXPECT_EQ(HidrawReportDescriptorPath("/dev/hidraw3"),
              "/sys/class/hidraw/hidraw3/device/report_descriptor");
    EXPECT_EQ(HidrawReportDescriptorPath("/dev/hidraw12"),
              "/sys/class/hidraw/hidraw12/device/report_descriptor");
    for (const char* bad : {"/dev/hidraw", "/dev/hidraw3/../../etc", "/dev/hidraw-1", "hidraw3",
                            "/dev/usb/hiddev0", "1-2:1.0", "/dev/hidraw1234567"}) {
        EXPECT_EQ(HidrawReportDescriptorPath(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace rq
