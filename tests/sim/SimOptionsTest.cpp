// The rq4720-sim command line: options, fault switches and their refusals.
#include <gtest/gtest.h>

#include <vector>

#include "SimOptions.h"

namespace rq::sim {
namespace {

using namespace std::chrono_literals;

ParsedOptions Parse(std::vector<std::string_view> arguments) {
    return ParseOptions(arguments);
}

TEST(SimOptions, DefaultsAreARevisionBReaderAt9600) {
    const auto parsed = Parse({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.config.revision, Revision::B);
    EXPECT_EQ(parsed.options.config.settings[0], 0);
    EXPECT_EQ(parsed.options.config.version, "V2.20");
    EXPECT_FALSE(parsed.options.help);
}

TEST(SimOptions, ReaderOptions) {
    const auto parsed =
        Parse({"--revision", "A", "--baud", "57600", "--version", "V9.99", "--no-crlf",
               "--reboot-ms", "7000", "--latency-ms", "0x10", "--link", "/tmp/ttyRQ", "-v"});
    ASSERT_EQ(parsed.error, "");
    const SimOptions& options = parsed.options;
    EXPECT_EQ(options.config.revision, Revision::A);
    EXPECT_EQ(options.config.settings[0], 8);
    EXPECT_EQ(options.config.version, "V9.99");
    EXPECT_FALSE(options.config.versionCrLf);
    EXPECT_EQ(options.config.serialRebootTime, 7s);
    EXPECT_EQ(options.config.replyLatency, 16ms);
    EXPECT_EQ(options.link, "/tmp/ttyRQ");
    EXPECT_TRUE(options.verbose);
}

TEST(SimOptions, ABenchOfReadersTellsThemApart) {
    const auto parsed = Parse({"--count", "8", "--silent", "8", "--baud", "19200"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.count, 8);
    EXPECT_EQ(parsed.options.silent, 8);
    std::vector<int> rates;
    std::string revisions;
    for (int i = 0; i < 8; ++i) {
        const ReaderConfig config = BenchReaderConfig(parsed.options.config, i, 8);
        rates.push_back(BaudForCode(config.settings[0]));
        revisions += config.revision == Revision::A ? 'A' : 'B';
        EXPECT_EQ(config.version, "V2.20 SN000" + std::to_string(i + 1));
    }
    EXPECT_EQ(rates, (std::vector<int>{19200, 57600, 115200, 9600, 19200, 57600, 115200, 9600}));
    EXPECT_EQ(revisions, "BBABBABB");
    EXPECT_EQ(BenchReaderConfig(parsed.options.config, 0, 1).version, "V2.20");
}

TEST(SimOptions, FaultSwitches) {
    const auto parsed = Parse(
        {"--fault", "silent-after=3",   "--fault", "vanish-after=5",
         "--fault", "command=0x1d",     "--fault", "wrong-byte=5:171",
         "--fault", "short=35",         "--fault", "slow=1500",
         "--fault", "split=20:300",     "--fault", "identify=1b 00 07 34 37 32 30 49 56 42 0d",
         "--fault", "version-excess=2", "--fault", "no-reconnect",
         "--fault", "flash-ack=4:0x15", "--fault", "twice",
         "--fault", "flood=2500",       "--fault", "stored-byte=0:8",
         "--fault", "late-ack=5:2100"});
    ASSERT_EQ(parsed.error, "");
    const Faults& faults = parsed.options.faults;
    EXPECT_EQ(faults.silentAfterFrames, 3);
    EXPECT_EQ(faults.vanishAfterFrames, 5);
    EXPECT_EQ(faults.onlyCommand, 0x1D);
    ASSERT_TRUE(faults.wrongByte);
    EXPECT_EQ(faults.wrongByte->index, 5u);
    EXPECT_EQ(faults.wrongByte->value, 171);
    EXPECT_EQ(faults.shortReply, 35u);
    EXPECT_EQ(faults.extraLatency, 1500ms);
    ASSERT_TRUE(faults.splitReply);
    EXPECT_EQ(faults.splitReply->firstBytes, 20u);
    EXPECT_EQ(faults.splitReply->gap, 300ms);
    EXPECT_EQ(faults.identifyReply,
              Bytes({0x1B, 0x00, 0x07, '4', '7', '2', '0', 'I', 'V', 'B', 0x0D}));
    EXPECT_EQ(faults.versionLengthExcess, 2);
    EXPECT_TRUE(faults.neverReconnect);
    ASSERT_TRUE(faults.flashAck);
    EXPECT_EQ(faults.flashAck->answer, 4);
    EXPECT_EQ(faults.flashAck->value, 0x15);
    EXPECT_TRUE(faults.replyTwice);
    EXPECT_EQ(faults.flood, 2500ms);
    ASSERT_TRUE(faults.storedByte);
    EXPECT_EQ(faults.storedByte->value, 8);
    ASSERT_TRUE(faults.lateFlashAnswer);
    EXPECT_EQ(faults.lateFlashAnswer->answer, 5);
    EXPECT_EQ(faults.lateFlashAnswer->delay, 2100ms);
}

TEST(SimOptions, RefusesWhatItDoesNotKnow) {
    for (const std::vector<std::string_view>& arguments :
         std::vector<std::vector<std::string_view>>{
             {"--baud", "4800"},
             {"--baud"},
             {"--revision", "C"},
             {"--frobnicate", "1"},
             {"--fault", "explode"},
             {"--fault", "silent-after=-1"},
             {"--fault", "silent-after=x"},
             {"--fault", "wrong-byte=5"},
             {"--fault", "wrong-byte=5:256"},
             {"--fault", "command=0x100"},
             {"--fault", "identify=1b0"},
             {"--fault", "identify=zz"},
             {"--fault", "no-reconnect=1"},
             {"--reboot-ms", "9999999"},
             {"--count", "0"},
             {"--count", "10", "--silent", "7"},
         }) {
        EXPECT_NE(Parse(arguments).error, "") << arguments.front();
    }
}

}  // namespace
}  // namespace rq::sim
