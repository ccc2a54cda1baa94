#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/SerialPortMap.h"

namespace rq {
namespace {

TEST(SerialPortMap, VariableListsComPortsInOrderWithGaps) {
    const SerialPortMap map = BuildSerialPortMap("/dev/pts/3::/dev/ttyUSB0", {"/dev/ttyS0"});
    EXPECT_EQ(PortPathFor(map, 1), "/dev/pts/3");
    EXPECT_EQ(PortPathFor(map, 2), std::nullopt);
    EXPECT_EQ(PortPathFor(map, 3), "/dev/ttyUSB0");
    for (int port = 4; port <= 16; ++port) {
        EXPECT_EQ(PortPathFor(map, port), std::nullopt) << port;
    }
}

TEST(SerialPortMap, VariableEntriesPastSixteenAreIgnored) {
    std::string value;
    for (int i = 1; i <= 20; ++i) {
        value += (i > 1 ? ":" : "") + std::string("/dev/p") + std::to_string(i);
    }
    const SerialPortMap map = BuildSerialPortMap(value, {});
    EXPECT_EQ(PortPathFor(map, 16), "/dev/p16");
    EXPECT_EQ(PortPathFor(map, 17), std::nullopt);
}

TEST(SerialPortMap, EmptyVariableMapsNoPort) {
    const SerialPortMap map = BuildSerialPortMap("", {"/dev/ttyUSB0", "/dev/ttyS0"});
    for (int port = 1; port <= 16; ++port) {
        EXPECT_EQ(PortPathFor(map, port), std::nullopt) << port;
    }
}

TEST(SerialPortMap, DefaultOrderPutsUsbAdaptersFirstInNaturalOrder) {
    const SerialPortMap map = BuildSerialPortMap(
        std::nullopt, {"/dev/ttyS1", "/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2",
                       "/dev/ttyS10", "/dev/ttyS2", "/dev/rfcomm0", "/dev/ttyUSB2"});
    const std::vector<std::string> expected = {"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                               "/dev/rfcomm0", "/dev/ttyS0",    "/dev/ttyS1",
                                               "/dev/ttyS2",   "/dev/ttyS10"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(PortPathFor(map, static_cast<int>(i) + 1), expected[i]) << "COM" << i + 1;
    }
    EXPECT_EQ(PortPathFor(map, 9), std::nullopt);  // the duplicate counts once
}

TEST(SerialPortMap, DefaultListKeepsSixteenAndTheAdapterAmongThem) {
    std::vector<std::string> found;
    for (int i = 31; i >= 0; --i) {
        found.push_back("/dev/ttyS" + std::to_string(i));
    }
    found.push_back("/dev/ttyUSB0");
    const SerialPortMap map = BuildSerialPortMap(std::nullopt, found);
    EXPECT_EQ(PortPathFor(map, 1), "/dev/ttyUSB0");
    EXPECT_EQ(PortPathFor(map, 2), "/dev/ttyS0");
    EXPECT_EQ(PortPathFor(map, 16), "/dev/ttyS14");
}

TEST(SerialPortMap, NumbersOutsideOneToSixteenAreUnmapped) {
    const SerialPortMap map = BuildSerialPortMap(std::nullopt, {"/dev/ttyS0"});
    EXPECT_EQ(PortPathFor(map, 0), std::nullopt);
    EXPECT_EQ(PortPathFor(map, -1), std::nullopt);
    EXPECT_EQ(PortPathFor(map, 17), std::nullopt);
    EXPECT_EQ(PortPathFor(map, 1), "/dev/ttyS0");
    // Windows names COM10 and up only in the device namespace.
    EXPECT_EQ(WindowsPortName(9), "COM9");
    EXPECT_EQ(WindowsPortName(10), "\\\\.\\COM10");
    EXPECT_EQ(WindowsPortName(17), std::nullopt);
}

// Ports past the sixteenth are named, once, in the map's order; the variable's empty
// entries are no ports.
TEST(SerialPortMap, PortsPastTheSixteenthAreLeftOutByName) {
    const auto paths = [](int from, int to) {
        std::vector<std::string> list;
        for (int i = from; i <= to; ++i) {
            list.push_back("/dev/p" + std::to_string(i));
        }
        return list;
    };
    const auto joined = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& path : list) {
            text += (text.empty() ? "" : ":") + path;
        }
        return text;
    };
    struct Case {
        std::optional<std::string> configured;
        std::vector<std::string> found;
        std::vector<std::string> leftOut;
    };
    const std::vector<Case> cases = {
        {joined(paths(1, 16)), {}, {}},
        {joined(paths(1, 17)), {}, {"/dev/p17"}},
        {joined(paths(1, 16)) + "::/dev/p18:", {}, {"/dev/p18"}},
        {std::nullopt, paths(1, 16), {}},
        {std::nullopt, paths(1, 18), {"/dev/p17", "/dev/p18"}},
        {std::nullopt, {"/dev/ttyS0", "/dev/ttyUSB0"}, {}},
    };
    for (const Case& c : cases) {
        const SerialPortNumbering numbering = NumberSerialPorts(c.configured, c.found);
        EXPECT_EQ(numbering.leftOut, c.leftOut) << c.configured.value_or("(found)");
        EXPECT_EQ(numbering.map, BuildSerialPortMap(c.configured, c.found));
        EXPECT_EQ(LeftOutPortsNote(numbering.leftOut, c.configured.has_value()).empty(),
                  c.leftOut.empty());
    }
    EXPECT_EQ(LeftOutPortsNote({"/dev/p17", "/dev/p18"}, true),
              "RQ4720_SERIAL_PORTS lists 18 ports, but COM1 to COM16 take only the first 16; "
              "left out: /dev/p17, /dev/p18");
    // Windows numbers ports up to COM255; a command may name one beyond the search.
    EXPECT_EQ(WindowsDeviceName(23), "\\\\.\\COM23");
    EXPECT_EQ(WindowsDeviceName(255), "\\\\.\\COM255");
    EXPECT_EQ(WindowsDeviceName(256), std::nullopt);
    EXPECT_EQ(WindowsDeviceName(0), std::nullopt);
}

}  // namespace
}  // namespace rq
