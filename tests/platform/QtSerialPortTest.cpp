#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/QtSerialPort.h"

namespace rq {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A pseudo-terminal pair: the port under test opens the slave, the test plays the
// device on the master.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            path_ = ::ptsname(master_);
        }
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }

    void closeMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void write(const Bytes& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes came or nothing more comes for a while.
    [[nodiscard]] Bytes read(std::size_t count) const {
        Bytes got;
        while (got.size() < count) {
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0) {
                break;
            }
            std::uint8_t chunk[4096];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    // On Linux the master reports the terminal settings the slave was given.
    [[nodiscard]] speed_t speed() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return ::cfgetospeed(&t);
    }

  private:
    int master_ = -1;
    std::string path_;
};

class QtSerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty_.path().empty());
        mapPorts(pty_.path());
        port_.setCommPort(1);
    }
    void TearDown() override { ::unsetenv("RQ4720_SERIAL_PORTS"); }

    static void mapPorts(const std::string& value) {
        ::setenv("RQ4720_SERIAL_PORTS", value.c_str(), 1);
    }

    // Polls like the serial waits do, until `count` bytes are waiting or 5 s pass.
    int waitForCount(int count) {
        int waiting = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
            if (waiting >= count) {
                break;
            }
            port_.waitForInput(100ms);
        }
        return waiting;
    }

    Pty pty_;
    QtSerialPort port_;
};

TEST_F(QtSerialPortTest, OpensAndClosesAMappedPseudoTerminal) {
    EXPECT_FALSE(port_.isOpen());
    ASSERT_EQ(port_.open(), SerialFailure::None);
    EXPECT_TRUE(port_.isOpen());
    EXPECT_EQ(port_.open(), SerialFailure::OpenFailed);  // already open
    EXPECT_TRUE(port_.isOpen());
    port_.close();
    EXPECT_FALSE(port_.isOpen());
    ASSERT_EQ(port_.open(), SerialFailure::None);  // and again
    port_.close();
}

TEST_F(QtSerialPortTest, MissingUnmappedAndNonTerminalPortsFailToOpen) {
    mapPorts(pty_.path() + "::/dev/pts/999999:/dev/null");
    for (const int number : {0, 2, 3, 4, 17, -1}) {
        port_.setCommPort(number);
        EXPECT_EQ(port_.open(), SerialFailure::OpenFailed) << "COM" << number;
        EXPECT_FALSE(port_.isOpen()) << "COM" << number;
    }
}

TEST_F(QtSerialPortTest, SettingsAcceptOnlyTheReadersRatesAndReachTheLine) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    EXPECT_EQ(pty_.speed(), static_cast<speed_t>(B9600));
    EXPECT_EQ(port_.setSettings("19200,n,8,1"), SerialFailure::None);
    EXPECT_EQ(port_.settings(), "19200,n,8,1");
    EXPECT_EQ(pty_.speed(), static_cast<speed_t>(B19200));

    for (const char* bad : {"4800,n,8,1", "19200,N,8,1", "19200,n,8,2", "19200,e,7,1", "9600",
                            ",n,8,1", "", " 9600,n,8,1", "115200,n,8,1 "}) {
        EXPECT_EQ(port_.setSettings(bad), SerialFailure::SettingsRejected) << bad;
        EXPECT_EQ(port_.settings(), "19200,n,8,1") << bad;
        EXPECT_EQ(pty_.speed(), static_cast<speed_t>(B19200)) << bad;
    }

    // Set while closed, applied by the next open.
    port_.close();
    EXPECT_EQ(port_.setSettings("57600,n,8,1"), SerialFailure::None);
    ASSERT_EQ(port_.open(), SerialFailure::None);
    EXPECT_EQ(pty_.speed(), static_cast<speed_t>(B57600));
    EXPECT_EQ(port_.setSettings("115200,n,8,1"), SerialFailure::None);
    EXPECT_EQ(pty_.speed(), static_cast<speed_t>(B115200));
}

TEST_F(QtSerialPortTest, OutputArrivesWholeAtTheDevice) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    const Bytes probe = {0x1B, 0x00};
    EXPECT_EQ(port_.output(probe), SerialFailure::None);
    EXPECT_EQ(pty_.read(2), probe);

    Bytes block(3000);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7);
    }
    EXPECT_EQ(port_.output(block), SerialFailure::None);
    EXPECT_EQ(pty_.read(block.size()), block);
}

TEST_F(QtSerialPortTest, ReceivedBytesAreCountedTakenAndDiscarded) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    const Bytes answer = {0x1B, 0, 7, '4', '7', '2', '0', 'B', 0x0D, 0xFF};
    pty_.write(answer);
    EXPECT_EQ(waitForCount(10), 10);

    Bytes got;
    EXPECT_EQ(port_.input(got), SerialFailure::None);
    EXPECT_EQ(got, answer);
    int waiting = -1;
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
    EXPECT_EQ(waiting, 0);
    EXPECT_EQ(port_.input(got), SerialFailure::None);
    EXPECT_TRUE(got.empty());

    // More than one read of the device takes, whole and in order.
    Bytes burst(10000);
    for (std::size_t i = 0; i < burst.size(); ++i) {
        burst[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    pty_.write(burst);
    EXPECT_EQ(waitForCount(10000), 10000);
    EXPECT_EQ(port_.input(got), SerialFailure::None);
    EXPECT_EQ(got, burst);

    pty_.write({1, 2, 3, 4, 5});
    EXPECT_EQ(waitForCount(5), 5);
    port_.discardInput();
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
    EXPECT_EQ(waiting, 0);
}

TEST_F(QtSerialPortTest, WaitForInputReturnsWhenBytesArrive) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    std::thread device([this] { pty_.write({0x42}); });
    QElapsedTimer timer;
    timer.start();
    int waiting = 0;
    while (waiting == 0 && timer.elapsed() < 20000) {
        port_.waitForInput(20s);
        ASSERT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
    }
    device.join();
    EXPECT_EQ(waiting, 1);
    EXPECT_LT(timer.elapsed(), 10000);

    // With nothing coming it returns after its time, and nothing is waiting.
    port_.waitForInput(30ms);
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
    EXPECT_EQ(waiting, 1);
}

TEST_F(QtSerialPortTest, ReceiveHandlerRunsFromTheEventLoopOnly) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    int calls = 0;
    Bytes seen;
    port_.setReceiveHandler([&] {
        ++calls;
        int waiting = 0;
        EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
        Bytes got;
        EXPECT_EQ(port_.input(got), SerialFailure::None);  // no nested call from in here
        seen.insert(seen.end(), got.begin(), got.end());
    });

    pty_.write({'A', 'B'});
    EXPECT_EQ(waitForCount(2), 2);
    EXPECT_EQ(calls, 0);  // announced inside the waits: held back

    pty_.write({'C'});
    QElapsedTimer timer;
    timer.start();
    while (calls == 0 && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_GE(calls, 1);
    EXPECT_EQ(seen, (Bytes{'A', 'B', 'C'}));
}

TEST_F(QtSerialPortTest, APortInUseFailsToOpen) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    QtSerialPort second;
    second.setCommPort(1);
    EXPECT_EQ(second.open(), SerialFailure::OpenFailed);
    EXPECT_FALSE(second.isOpen());
    port_.close();
    EXPECT_EQ(second.open(), SerialFailure::None);
}

TEST_F(QtSerialPortTest, APortLockedByAnotherProgramFailsToOpen) {
    const int other = ::open(pty_.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(port_.open(), SerialFailure::OpenFailed);
    ::close(other);
    EXPECT_EQ(port_.open(), SerialFailure::None);
}

TEST_F(QtSerialPortTest, AVanishedDeviceFailsReadsInsteadOfHanging) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    pty_.write({'I', 'D'});
    ASSERT_EQ(waitForCount(2), 2);  // taken from the device before it goes
    pty_.closeMaster();

    QElapsedTimer timer;
    timer.start();
    port_.waitForInput(20s);
    EXPECT_LT(timer.elapsed(), 10000);
    int waiting = -1;
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::ReadFailed);
    EXPECT_EQ(waiting, 0);
    // The same answer every time until the port is closed.
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::ReadFailed);
    Bytes got = {9};
    EXPECT_EQ(port_.input(got), SerialFailure::ReadFailed);
    EXPECT_EQ(got, Bytes({'I', 'D'}));  // handed out with the failure, once
    EXPECT_EQ(port_.input(got), SerialFailure::ReadFailed);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(port_.output(Bytes{0x1B, 0x00}), SerialFailure::WriteFailed);
    EXPECT_TRUE(port_.isOpen());
    port_.close();
    EXPECT_FALSE(port_.isOpen());
    // The gone pty's number is free for any process to take (tests run side by side), so
    // its path is not opened again: opening it would lock another test's new pty for a
    // moment. A device that comes back under the same COM number opens afresh.
    const Pty replugged;
    mapPorts(replugged.path());
    ASSERT_EQ(port_.open(), SerialFailure::None);
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::None);
}

TEST_F(QtSerialPortTest, AVanishedDeviceNoticedByTheEventLoopIsToldOnceAndFailsReads) {
    ASSERT_EQ(port_.open(), SerialFailure::None);
    int calls = 0;
    port_.setReceiveHandler([&] { ++calls; });
    pty_.closeMaster();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    int waiting = -1;
    EXPECT_EQ(port_.inBufferCount(waiting), SerialFailure::ReadFailed);
    EXPECT_EQ(calls, 1);  // told once, so that a port nobody polls finds out
}

TEST(QtSerialPortClosed, OperationsOnAClosedPortFailWithoutBlocking) {
    QtSerialPort port;
    int waiting = -1;
    EXPECT_EQ(port.inBufferCount(waiting), SerialFailure::PortNotOpen);
    EXPECT_EQ(waiting, 0);
    Bytes got;
    EXPECT_EQ(port.input(got), SerialFailure::PortNotOpen);
    EXPECT_EQ(port.output(Bytes{1}), SerialFailure::PortNotOpen);
    port.discardInput();
    port.discardOutput();
    QElapsedTimer timer;
    timer.start();
    port.waitForInput(20s);
    EXPECT_LT(timer.elapsed(), 10000);
    port.close();
    EXPECT_EQ(port.settings(), "9600,n,8,1");
    EXPECT_EQ(port.commPort(), 1);
}

}  // namespace
}  // namespace rq
