#include <gtest/gtest.h>

#include "survey/ReaderPlace.h"

namespace rq {
namespace {

// Two devices share a serial number, one has none; COM2 has no device.
const HidDeviceInfo kUsb[] = {{0, "/dev/hidraw0", "SN-A"},
                              {1, "/dev/hidraw1", "SN-B"},
                              {2, "/dev/hidraw2", "SN-B"},
                              {3, "/dev/hidraw3", ""}};
const std::string kComMap[] = {"/dev/ttyUSB0", "", "/dev/ttyUSB1"};

// A symbolic link by the adapter's name stands for ttyUSB0.
std::string Canonical(const std::string& path) {
    return path == "/dev/serial/by-id/usb-adapter" ? "/dev/ttyUSB0" : path;
}

TEST(ReaderPlace, EachPlaceHasAnIdAndAnIdNamesOneOrNone) {
    const std::vector<ReaderPlace> places = AllPlaces(kUsb, kComMap);
    std::vector<std::string> ids;
    for (const ReaderPlace& place : places) {
        ids.push_back(place.id);
    }
    // A serial number names a device only where no other device shares it.
    EXPECT_EQ(ids, (std::vector<std::string>{"usb:SN-A", "usb:/dev/hidraw1", "usb:/dev/hidraw2",
                                             "usb:/dev/hidraw3", "com1", "com3"}));

    const struct {
        std::string_view id;
        const char* named;  // the place's device, or nullptr
    } cases[] = {
        {"usb:SN-A", "/dev/hidraw0"},
        {"usb:/dev/hidraw2", "/dev/hidraw2"},
        {"com3", "/dev/ttyUSB1"},
        {"COM1", "/dev/ttyUSB0"},
        {"/dev/ttyUSB1", "/dev/ttyUSB1"},
        {"/dev/serial/by-id/usb-adapter", "/dev/ttyUSB0"},
        {"com2", nullptr},  // no device
        {"com3x", nullptr},
        {"usb:", nullptr},
        {"usb:SN-C", nullptr},
        {"usb:SN-B", nullptr},      // shared: either device could be meant
        {"/dev/hidraw0", nullptr},  // a USB device is named with usb:
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.id));
        const std::optional<ReaderPlace> place = FindPlace(c.id, places, Canonical);
        if (c.named == nullptr) {
            EXPECT_FALSE(place) << place->id;
        } else {
            ASSERT_TRUE(place);
            EXPECT_EQ(place->device, c.named);
        }
    }
}

}  // namespace
}  // namespace rq
