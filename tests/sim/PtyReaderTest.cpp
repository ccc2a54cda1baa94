// The reader behind a pseudo-terminal, in real time: it answers at its own rate only,
// sees the rate the host sets on the terminal, and lets go of the terminal when stopped.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "PtyReader.h"
#include "SimTestSupport.h"

namespace rq::sim {
namespace {

using namespace testing;

// The host's end: the terminal opened raw at a given rate.
class Host {
  public:
    Host(const std::string& path, speed_t speed)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        EXPECT_GE(fd_.get(), 0);
        setSpeed(speed);
    }

    void setSpeed(speed_t speed) {
        termios settings{};
        ::tcgetattr(fd_.get(), &settings);
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        ASSERT_EQ(::tcsetattr(fd_.get(), TCSANOW, &settings), 0);
    }
    void write(const Bytes& bytes) {
        ASSERT_EQ(::write(fd_.get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `count` bytes came or nothing more comes within `quiet`.
    Bytes read(std::size_t count, std::chrono::milliseconds quiet = 1000ms) {
        Bytes received;
        while (received.size() < count) {
            pollfd fds{fd_.get(), POLLIN, 0};
            if (::poll(&fds, 1, static_cast<int>(quiet.count())) <= 0 || !(fds.revents & POLLIN)) {
                break;
            }
            std::array<std::uint8_t, 256> buffer{};
            const auto n = ::read(fd_.get(), buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            received.insert(received.end(), buffer.begin(), buffer.begin() + n);
        }
        return received;
    }
    [[nodiscard]] int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;
};

TEST(PtyReader, AnswersTheProbeAtItsRateAndNotAtOthers) {
    ReaderConfig config;
    config.settings[0] = 6;  // 19200
    PtyReader reader(config);
    Host host(reader.slavePath(), B9600);
    EXPECT_EQ(reader.terminalBaud(), 9600);
    host.write({0x1B, 0x00});
    EXPECT_EQ(host.read(10, 300ms), Bytes{}) << "9600 is noise to a 19200 reader";

    host.setSpeed(B19200);
    EXPECT_EQ(reader.terminalBaud(), 19200) << "the master sees the host's rate";
    host.write({0x1B, 0x00});
    const Bytes reply = host.read(10);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(Bytes(reply.begin() + 3, reply.begin() + 7), Ascii("4720"));
}

TEST(PtyReader, WrittenSettingsReadBack) {
    PtyReader reader;
    Host host(reader.slavePath(), B9600);
    host.write(Join({{0x1B, 0x1D, 0x00, 0x10, 0x1F}, SampleBlock()}));
    EXPECT_EQ(host.read(6), Bytes({0x1B, 0x1D, 0x00, 0x10, 0x01, 0xAA}));
    host.write({0x1B, 0x1C, 0x00, 0x10, 0x1F});
    EXPECT_EQ(host.read(36), Join({{0x1B, 0x1C, 0x00, 0x10, 0x1F}, SampleBlock()}));
    reader.withReader([](ReaderModel& model) {
        EXPECT_EQ(Bytes(model.settings().begin(), model.settings().end()), SampleBlock());
    });
}

TEST(PtyReader, PlacedIButtonReachesTheHostButNotAClosedTerminal) {
    PtyReader reader;
    {
        Host host(reader.slavePath(), B9600);
        reader.withReader(
            [](ReaderModel& model) { model.placeIButtonId("0123456789ABCDEF", PtyReader::Now()); });
        EXPECT_EQ(host.read(18), Join({Ascii("0123456789ABCDEF"), {'\r', '\n'}}));
    }
    reader.withReader(
        [](ReaderModel& model) { model.placeIButtonId("FEDCBA9876543210", PtyReader::Now()); });
    // The reader's thread drops the bytes once they are due and nobody listens.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (reader.withReader([](ReaderModel& model) { return model.nextSerialOutputTime(); }) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    Host later(reader.slavePath(), B9600);
    EXPECT_EQ(later.read(1, 200ms), Bytes{}) << "bytes for nobody are not kept";
}

TEST(PtyReader, StoppingHangsUpTheHost) {
    PtyReader reader;
    Host host(reader.slavePath(), B9600);
    reader.stop();
    pollfd fds{host.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&fds, 1, 1000), 1);
    EXPECT_TRUE(fds.revents & POLLHUP);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_LE(::read(host.fd(), buffer.data(), buffer.size()), 0);
}

TEST(PtyReader, VanishingReaderHangsUpTheHost) {
    Faults faults;
    faults.vanishAfterFrames = 1;
    PtyReader reader({}, faults);
    Host host(reader.slavePath(), B9600);
    host.write({0x1B, 0x00});
    EXPECT_EQ(host.read(10).size(), 10u);
    host.write({0x1B, 0x00});
    pollfd fds{host.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&fds, 1, 1000), 1);
    EXPECT_TRUE(fds.revents & POLLHUP);
}

}  // namespace
}  // namespace rq::sim
