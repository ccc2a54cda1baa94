#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/HidapiLibrary.h"

namespace rq {
namespace {

using hidapi::ReadInputReports;

// Plays back a list of reads: a payload is delivered, an empty one is a timeout, and
// `fail` makes the read report an error.
struct ScriptedReads {
    std::vector<std::vector<std::uint8_t>> reports;
    bool failAtEnd = false;
    std::size_t calls = 0;

    hidapi::ReadOneReport reader() {
        return [this](std::span<std::uint8_t> into) -> int {
            if (calls >= reports.size()) {
                ++calls;
                return failAtEnd ? -1 : 0;
            }
            const std::vector<std::uint8_t>& report = reports[calls++];
            const std::size_t n = std::min(report.size(), into.size());
            std::copy_n(report.begin(), n, into.begin());
            return static_cast<int>(n);
        };
    }
};

TEST(HidapiReadInputReports, UnnumberedReportsGetTheirIdPutInPlace) {
    ScriptedReads reads{{{0x1B, 0, 7, '4', '7', '2', '0', 'I'}, {1, 2, 3, 4, 5, 6, 7, 8}}};
    std::array<std::uint8_t, 81> buffer;
    buffer.fill(0xEE);
    std::uint32_t bytes = 99;
    EXPECT_EQ(ReadInputReports(reads.reader(), false, buffer, 2, bytes), kHidSuccess);
    EXPECT_EQ(bytes, 18u);
    const std::vector<std::uint8_t> got(buffer.begin(), buffer.begin() + 19);
    const std::vector<std::uint8_t> expected = {0, 0x1B, 0, 7, '4', '7', '2', '0', 'I', 0,
                                                1, 2,    3, 4, 5,   6,   7,   8,   0xEE};
    EXPECT_EQ(got, expected);
}

TEST(HidapiReadInputReports, MissingReportsStopTheReadWithANonZeroStatus) {
    ScriptedReads timeout{{{1, 2, 3, 4, 5, 6, 7, 8}}};
    std::array<std::uint8_t, 45> buffer;
    buffer.fill(0xEE);
    std::uint32_t bytes = 0;
    EXPECT_NE(ReadInputReports(timeout.reader(), false, buffer, 5, bytes), kHidSuccess);
    EXPECT_EQ(bytes, 9u);
    EXPECT_EQ(timeout.calls, 2u);  // no further waits after the first missing report
    EXPECT_EQ(buffer[9], 0xEE);    // the rest of the buffer is left as it was
    EXPECT_EQ(buffer[44], 0xEE);

    ScriptedReads gone{{}, true};
    buffer.fill(0xEE);
    EXPECT_NE(ReadInputReports(gone.reader(), false, buffer, 1, bytes), kHidSuccess);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST(HidapiReadInputReports, ABufferTooSmallIsRefusedBeforeReading) {
    ScriptedReads reads{{{1}, {2}}};
    std::array<std::uint8_t, 17> small;
    small.fill(0xEE);
    std::uint32_t bytes = 5;
    EXPECT_EQ(ReadInputReports(reads.reader(), false, small, 2, bytes), kHidInvalidBuffer);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(reads.calls, 0u);
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](auto b) { return b == 0xEE; }));

    std::array<std::uint8_t, 81> buffer{};
    EXPECT_EQ(ReadInputReports(reads.reader(), false, buffer, 0xFFFFFFFFu, bytes),
              kHidInvalidBuffer);  // 9 x count must not wrap around
    EXPECT_EQ(reads.calls, 0u);
}

TEST(HidapiReadInputReports, NumberedReportsKeepTheirIdAndShortOnesArePadded) {
    ScriptedReads reads{{{5, 1, 2, 3, 4, 5, 6, 7, 8}, {6, 9}}};
    std::array<std::uint8_t, 18> buffer;
    buffer.fill(0xEE);
    std::uint32_t bytes = 0;
    EXPECT_EQ(ReadInputReports(reads.reader(), true, buffer, 2, bytes), kHidSuccess);
    EXPECT_EQ(bytes, 18u);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(buffer[8], 8);
    EXPECT_EQ(buffer[9], 6);
    EXPECT_EQ(buffer[10], 9);
    EXPECT_EQ(buffer[11], 0);  // not the 0xEE of before
    EXPECT_EQ(buffer[17], 0);
}

// No reader is attached to the machines that run the tests.
TEST(HidapiLibrary, WithoutADeviceNothingOpensAndClosingIsHarmless) {
    HidapiLibrary library;
    EXPECT_EQ(library.HidDevice_GetNumHidDevices(kReaderVendorId, kReaderProductId), 0u);
    HidDeviceRef ref = 0;
    EXPECT_NE(library.HidDevice_Open(ref, 0, kReaderVendorId, kReaderProductId, 0), kHidSuccess);
    EXPECT_EQ(ref, 0u);
    EXPECT_NE(library.HidDevice_Close(0), kHidSuccess);
    EXPECT_NE(library.HidDevice_Close(12345), kHidSuccess);
    library.HidDevice_GetHandle(0);
    EXPECT_EQ(library.HidDevice_GetInputReportBufferLength(0), 0);
    EXPECT_EQ(library.HidDevice_GetOutputReportBufferLength(0), 0);
    const std::array<std::uint8_t, 9> report{};
    EXPECT_NE(library.HidDevice_SetOutputReport_Interrupt(0, report), kHidSuccess);
    std::array<std::uint8_t, 18> buffer{};
    std::uint32_t bytes = 7;
    EXPECT_NE(library.HidDevice_GetInputReport_Interrupt(0, buffer, 2, bytes), kHidSuccess);
    EXPECT_EQ(bytes, 0u);
}

TEST(HidapiLibrary, CanBeCreatedAgainAfterItWasDestroyed) {
    { HidapiLibrary first; }
    HidapiLibrary second;
    EXPECT_EQ(second.HidDevice_GetNumHidDevices(kReaderVendorId, kReaderProductId), 0u);
}

}  // namespace
}  // namespace rq
