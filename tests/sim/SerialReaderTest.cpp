// The reader on RS232, through the simulated serial port on virtual time: the probe and
// the commands, rate matching, timing of replies, the port's own rules, and faults.
#include <gtest/gtest.h>

#include "SimSerialPort.h"
#include "SimTestSupport.h"
#include "VirtualClock.h"

namespace rq::sim {
namespace {

using namespace testing;

class SerialReader : public ::testing::Test {
  protected:
    void SetUp() override { port.attachReader(3, reader); }

    void openAt(int com, std::string_view settings = "9600,n,8,1") {
        port.setCommPort(com);
        ASSERT_EQ(port.setSettings(settings), SerialFailure::None);
        ASSERT_EQ(port.open(), SerialFailure::None);
    }
    // Writes and collects what arrives until `count` bytes or `maxWait` has passed.
    Bytes exchange(const Bytes& request, std::size_t count, Duration maxWait = 1s) {
        EXPECT_EQ(port.output(request), SerialFailure::None);
        return collect(count, maxWait);
    }
    Bytes collect(std::size_t count, Duration maxWait = 1s) {
        const Duration deadline = clock.now() + maxWait;
        Bytes received;
        while (received.size() < count && clock.now() < deadline) {
            port.waitForInput(deadline - clock.now());
            Bytes more;
            port.input(more);
            received.insert(received.end(), more.begin(), more.end());
        }
        return received;
    }
    int waiting() {
        int count = -1;
        EXPECT_EQ(port.inBufferCount(count), SerialFailure::None);
        return count;
    }

    VirtualClock clock;
    ReaderModel reader;
    SimSerialPort port{clock};
};

ReaderConfig AtBaud(std::uint8_t code, Revision revision = Revision::B) {
    ReaderConfig config;
    config.settings[0] = code;
    config.revision = revision;
    return config;
}

// --- Replies

TEST_F(SerialReader, RevisionBAnswersTheProbeWith4720InBytes3To6) {
    openAt(3);
    const Bytes reply = exchange({0x1B, 0x00}, 10, 200ms);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(Bytes(reply.begin() + 3, reply.begin() + 7), Ascii("4720"));
}

TEST_F(SerialReader, RevisionAAnswersWith4720InBytes6To9Only) {
    ReaderModel old(AtBaud(0, Revision::A));
    port.attachReader(5, old);
    openAt(5);
    const Bytes reply = exchange({0x1B, 0x00}, 10, 200ms);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(Bytes(reply.begin() + 6, reply.end()), Ascii("4720"));
    EXPECT_NE(Bytes(reply.begin() + 3, reply.begin() + 7), Ascii("4720"));
}

TEST_F(SerialReader, VersionSettingsWriteAndResetReplies) {
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x01}, 10), Join({{0x1B, 0x01, 0x05}, Ascii("V2.20"), {0x0D, 0x0A}}));
    EXPECT_EQ(exchange({0x1B, 0x1C, 0x00, 0x10, 0x1F}, 36),
              Join({{0x1B, 0x1C, 0x00, 0x10, 0x1F}, DefaultBlock()}));
    EXPECT_EQ(exchange(Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()}), 6),
              Bytes({0x1B, 0x1D, 0x00, 0x10, 0x01, 0xAA}));
    EXPECT_EQ(Bytes(reader.settings().begin(), reader.settings().end()), SampleBlock());
    EXPECT_EQ(exchange({0x1B, 0x21, 0x01, 0xFF}, 4), Bytes({0x1B, 0x21, 0x01, 0xFF}));
    EXPECT_EQ(Bytes(reader.settings().begin(), reader.settings().end()), DefaultBlock());
    EXPECT_EQ(collect(1, 1s), Bytes{}) << "nothing more than the replies";
}

TEST_F(SerialReader, VersionWithoutLineEndIsShorterThanTenBytes) {
    ReaderConfig config;
    config.versionCrLf = false;
    ReaderModel bare(config);
    port.attachReader(4, bare);
    openAt(4);
    EXPECT_EQ(exchange({0x1B, 0x01}, 10, 500ms), Join({{0x1B, 0x01, 0x05}, Ascii("V2.20")}));
}

TEST_F(SerialReader, FrameSplitOverTwoWritesIsStillOneFrame) {
    openAt(3);
    ASSERT_EQ(port.output(Bytes{0x1B, 0x1C, 0x00}), SerialFailure::None);
    clock.advance(50ms);
    EXPECT_EQ(exchange({0x10, 0x1F}, 36).size(), 36u);
}

TEST_F(SerialReader, NoiseBeforeAFrameIsSkipped) {
    openAt(3);
    EXPECT_EQ(exchange({0x00, 0x42, 0x1B, 0x21, 0x01, 0xFF}, 4), Bytes({0x1B, 0x21, 0x01, 0xFF}));
}

// --- Rates

TEST_F(SerialReader, HearsOnlyAtItsOwnRate) {
    ReaderModel fast(AtBaud(6));
    port.attachReader(7, fast);
    for (const char* settings : {"9600,n,8,1", "57600,n,8,1", "115200,n,8,1"}) {
        openAt(7, settings);
        EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms), Bytes{}) << settings;
        port.close();
    }
    openAt(7, "19200,n,8,1");
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u);
    EXPECT_EQ(fast.framesReceived(), 1);
}

TEST_F(SerialReader, ReplyIsLostWhenThePortChangesRateBeforeItArrives) {
    openAt(3);
    ASSERT_EQ(port.output(Bytes{0x1B, 0x00}), SerialFailure::None);
    ASSERT_EQ(port.setSettings("19200,n,8,1"), SerialFailure::None);
    EXPECT_EQ(collect(10, 500ms), Bytes{});
}

TEST_F(SerialReader, NewRateInTheWrittenBlockAppliesAfterTheAcknowledgement) {
    openAt(3);
    EXPECT_EQ(exchange(Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock(9)}), 6).size(), 6u)
        << "acknowledged at the old rate";
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms), Bytes{});
    ASSERT_EQ(port.setSettings("115200,n,8,1"), SerialFailure::None);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u);
    EXPECT_EQ(exchange({0x1B, 0x21, 0x01, 0xFF}, 4).size(), 4u);
    ASSERT_EQ(port.setSettings("9600,n,8,1"), SerialFailure::None);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u) << "reset went back to 9600";
}

TEST_F(SerialReader, CodesWithoutARateMeanTheFirstRate) {
    ReaderModel odd(AtBaud(7));
    port.attachReader(8, odd);
    openAt(8);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u);
}

// --- Timing

TEST_F(SerialReader, ReplyArrivesAfterTransmissionAndLatency) {
    openAt(3);
    ASSERT_EQ(port.output(Bytes{0x1B, 0x00}), SerialFailure::None);
    // 2 bytes out (2.083 ms), 2 ms latency, 10 bytes back (10.417 ms) at 9600 baud.
    clock.advance(14ms);
    EXPECT_EQ(waiting(), 0);
    port.waitForInput(1s);
    EXPECT_NEAR(static_cast<double>(clock.now().count()), 14.5e6, 1.0);
    EXPECT_EQ(waiting(), 10) << "the reply arrives whole";
}

TEST_F(SerialReader, WaitWithNothingComingTakesTheWholeWait) {
    openAt(3);
    port.waitForInput(200ms);
    EXPECT_EQ(clock.now(), 200ms);
}

TEST_F(SerialReader, SearchOfSixteenSilentPortsAtFourRatesRunsInVirtualTime) {
    SimSerialPort ports(clock);
    for (int com = 1; com <= 16; ++com) {
        ports.addSilentPort(com);
    }
    const auto wallStart = std::chrono::steady_clock::now();
    for (const char* settings : {"9600,n,8,1", "19200,n,8,1", "57600,n,8,1", "115200,n,8,1"}) {
        ASSERT_EQ(ports.setSettings(settings), SerialFailure::None);
        for (int com = 1; com <= 16; ++com) {
            ports.setCommPort(com);
            ASSERT_EQ(ports.open(), SerialFailure::None);
            ports.output(Bytes{0x1B, 0x00});
            const Duration deadline = clock.now() + 200ms;
            while (clock.now() < deadline) {
                ports.waitForInput(deadline - clock.now());
            }
            ports.close();
        }
    }
    EXPECT_EQ(clock.now(), 12800ms);
    EXPECT_LT(std::chrono::steady_clock::now() - wallStart, 1s);
    EXPECT_EQ(ports.writes().size(), 64u);
}

// --- The port's rules

TEST_F(SerialReader, AcceptsOnlyTheReadersRatesWithNoParity8Data1Stop) {
    for (const char* good : {"9600,n,8,1", "19200,n,8,1", "57600,n,8,1", "115200,n,8,1"}) {
        EXPECT_EQ(port.setSettings(good), SerialFailure::None) << good;
        EXPECT_EQ(port.settings(), good);
    }
    for (const char* bad :
         {"", "4800,n,8,1", "9600,e,8,1", "9600,n,7,1", "9600,N,8,1", "9600", "9600,n,8,1 "}) {
        EXPECT_EQ(port.setSettings(bad), SerialFailure::SettingsRejected) << bad;
    }
    EXPECT_EQ(port.settings(), "115200,n,8,1") << "a rejected text leaves the settings";
}

TEST_F(SerialReader, MissingAndBusyPortsDoNotOpen) {
    port.addBusyPort(2);
    port.addSilentPort(9);
    port.setCommPort(1);
    EXPECT_EQ(port.open(), SerialFailure::OpenFailed);
    port.setCommPort(2);
    EXPECT_EQ(port.open(), SerialFailure::OpenFailed);
    EXPECT_FALSE(port.isOpen());
    port.setCommPort(9);
    EXPECT_EQ(port.open(), SerialFailure::None);
    EXPECT_EQ(port.open(), SerialFailure::OpenFailed) << "already open";
    port.setCommPort(3);
    EXPECT_EQ(port.commPort(), 9) << "the number cannot change while open";
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms), Bytes{});
    port.close();
    int count = 0;
    EXPECT_EQ(port.inBufferCount(count), SerialFailure::PortNotOpen);
    EXPECT_EQ(port.output(Bytes{0x1B}), SerialFailure::PortNotOpen);
    ASSERT_EQ(port.openAttempts().size(), 4u);
    EXPECT_TRUE(port.openAttempts()[2].opened);
    EXPECT_EQ(port.closes(), 1);
}

TEST_F(SerialReader, RecordsEveryWriteWithPortAndRate) {
    ReaderModel fast(AtBaud(6));
    port.attachReader(7, fast);
    openAt(7, "19200,n,8,1");
    port.output(Bytes{0x1B, 0x00});
    port.close();
    openAt(3);
    port.output(Bytes{0x1B, 0x01});
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writesTo(7).at(0).baud, 19200);
    EXPECT_EQ(port.writesTo(7).at(0).bytes, Bytes({0x1B, 0x00}));
    EXPECT_EQ(port.writesTo(3).at(0).baud, 9600);
}

TEST_F(SerialReader, BytesSentWhileThePortWasClosedAreLost) {
    openAt(3);
    port.output(Bytes{0x1B, 0x00});
    port.close();
    clock.advance(100ms);
    openAt(3);
    EXPECT_EQ(waiting(), 0);
}

TEST_F(SerialReader, DiscardDropsWhatHasArrived) {
    openAt(3);
    exchange({0x1B, 0x21, 0x01, 0xFF}, 0, 0s);
    clock.advance(100ms);
    port.discardInput();
    EXPECT_EQ(waiting(), 0);
}

// --- iButton output

TEST_F(SerialReader, PlacedIButtonIsSentAsTheSettingsSay) {
    Bytes block = SampleBlock();  // prefix "AB", from character 3, 8 characters, postfix "#", TAB
    reader.setSettings([&] {
        SettingsBlock b{};
        std::copy(block.begin(), block.end(), b.begin());
        return b;
    }());
    openAt(3);
    int notifications = 0;
    port.setReceiveHandler([&] { ++notifications; });
    reader.placeIButtonId("0123456789ABCDEF", clock.now());
    EXPECT_FALSE(port.deliverReceiveNotification()) << "not there yet";
    clock.advance(100ms);
    EXPECT_TRUE(port.deliverReceiveNotification());
    EXPECT_EQ(notifications, 1);
    Bytes output;
    port.input(output);
    EXPECT_EQ(output, Join({Ascii("AB"), Ascii("23456789"), Ascii("#"), {'\t'}}));
    reader.removeIButton(clock.now());
    EXPECT_EQ(collect(3), Ascii("xyz"));
}

TEST_F(SerialReader, DefaultSettingsSendTheWholeIdWithCrLf) {
    openAt(3);
    reader.placeIButtonId("0123456789ABCDEF", clock.now());
    EXPECT_EQ(collect(18), Join({Ascii("0123456789ABCDEF"), {'\r', '\n'}}));
    reader.removeIButton(clock.now());
    EXPECT_EQ(collect(1, 100ms), Bytes{}) << "no on-remove text";
}

// --- Faults

TEST_F(SerialReader, ElevenByteProbeAnswerArrivesAtOnce) {
    reader.faults().identifyReply = Join({{0x1B, 0x00, 0x07}, Ascii("4720IVB"), {0x0D}});
    openAt(3);
    ASSERT_EQ(port.output(Bytes{0x1B, 0x00}), SerialFailure::None);
    port.waitForInput(200ms);
    EXPECT_EQ(waiting(), 11) << "the count jumps from 0 to 11";
}

TEST_F(SerialReader, ShortReplyStopsAfterKBytes) {
    reader.faults().shortReply = 35;
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x1C, 0x00, 0x10, 0x1F}, 36).size(), 35u);
}

TEST_F(SerialReader, SplitReplyComesInTwoPieces) {
    reader.faults().splitReply = Faults::Split{20, 300ms};
    openAt(3);
    ASSERT_EQ(port.output(Bytes{0x1B, 0x1C, 0x00, 0x10, 0x1F}), SerialFailure::None);
    port.waitForInput(1s);
    EXPECT_EQ(waiting(), 20);
    port.waitForInput(1s);
    EXPECT_EQ(waiting(), 36);
    EXPECT_GT(clock.now(), 300ms);
}

TEST_F(SerialReader, SlowReplyComesLate) {
    reader.faults().extraLatency = 1500ms;
    reader.faults().onlyCommand = 0x1D;
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u) << "other replies in time";
    EXPECT_EQ(exchange(Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()}), 6, 1s), Bytes{});
    EXPECT_EQ(collect(6, 1s).size(), 6u);
}

TEST_F(SerialReader, WrongByteInTheAcknowledgement) {
    reader.faults().wrongByte = Faults::ByteChange{4, 0};
    openAt(3);
    EXPECT_EQ(exchange(Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()}), 6),
              Bytes({0x1B, 0x1D, 0x00, 0x10, 0x00, 0xAA}));
}

TEST_F(SerialReader, VersionShorterThanItsLengthByte) {
    reader.faults().versionLengthExcess = 3;
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x01}, 10), Join({{0x1B, 0x01, 0x08}, Ascii("V2.20"), {0x0D, 0x0A}}));
}

TEST_F(SerialReader, SilentAfterFramesAnswersNothingMore) {
    reader.faults().silentAfterFrames = 1;
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u);
    EXPECT_EQ(exchange({0x1B, 0x21, 0x01, 0xFF}, 4), Bytes{});
}

TEST_F(SerialReader, VanishingReaderTakesItsAdapterAlong) {
    reader.faults().vanishAfterFrames = 1;
    openAt(3);
    EXPECT_EQ(exchange({0x1B, 0x00}, 10, 200ms).size(), 10u);
    EXPECT_EQ(port.output(Bytes{0x1B, 0x21, 0x01, 0xFF}), SerialFailure::WriteFailed);
    int count = 0;
    EXPECT_EQ(port.inBufferCount(count), SerialFailure::ReadFailed);
    Bytes bytes;
    EXPECT_EQ(port.input(bytes), SerialFailure::ReadFailed);
    const auto before = clock.now();
    port.waitForInput(1s);
    EXPECT_EQ(clock.now(), before) << "a failed port does not block";
    port.close();
    EXPECT_EQ(port.open(), SerialFailure::OpenFailed);
}

TEST_F(SerialReader, UnpluggedAdapterFailsReadsAndWrites) {
    openAt(3);
    port.unplug(3);
    EXPECT_EQ(port.output(Bytes{0x1B, 0x00}), SerialFailure::WriteFailed);
    int count = 0;
    EXPECT_EQ(port.inBufferCount(count), SerialFailure::ReadFailed);
}

}  // namespace
}  // namespace rq::sim
