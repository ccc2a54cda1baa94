#include "platform/QtSerialPort.h"

#include <QMetaObject>
#include <QSerialPortInfo>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "platform/DeviceDiagnosis.h"
#include "platform/DeviceReports.h"
#include "platform/FileDescriptor.h"
#include "platform/PortSettings.h"
#include "platform/SerialPortList.h"
#include "platform/SerialPortMap.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace rq {
namespace {

// Listing the system's serial devices takes milliseconds; a search opens up to 64 ports.
// A list this young is reused, so an adapter plugged in is seen within seconds.
constexpr std::chrono::seconds kDeviceListLifetime{2};

// A search tries a port at four rates, up to 12.8 s apart; its reason is told once.

// One read takes up to this much; the bound on rounds keeps a line that never falls
// silent from holding a call forever.
constexpr std::size_t kReadChunk = 4096;
constexpr int kMaxPullRounds = 64;
// A look at the device that found it empty stands this long: a wait's pass asks for the
// count and then the bytes, microseconds apart, and each look is a system call. Shorter
// than a character at any of the reader's rates; a byte that comes meanwhile is taken at
// the next look, as if it had come a moment later.
constexpr std::chrono::microseconds kFreshLook{50};

bool IsDeviceFailure(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError || error == QSerialPort::NotOpenError ||
           error == QSerialPort::PermissionError || error == QSerialPort::DeviceNotFoundError;
}

// Time to hand `count` bytes to the OS: a second of slack plus twice the line time.
std::chrono::milliseconds WriteTimeout(std::size_t count, qint32 baudRate) {
    const auto lineMs = static_cast<long long>(count) * 10 * 1000 / std::max<qint32>(baudRate, 1);
    return std::chrono::milliseconds(1000 + 2 * lineMs);
}

int ToTimeoutMs(std::chrono::nanoseconds wait) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

struct Readiness {
    bool data = false;    // bytes to read, or the end of the line
    bool hangup = false;  // the other side went away or the device failed
};

// Waits in the OS for input on the descriptor. Qt's own wait cannot tell a hang-up from
// silence, so the binding looks at the descriptor itself.
Readiness PollInput(int fd, std::chrono::nanoseconds wait) {
    pollfd pfd{fd, POLLIN, 0};
    wait = std::max(wait, std::chrono::nanoseconds::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{static_cast<std::time_t>(seconds.count()),
                           static_cast<long>((wait - seconds).count())};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    if (ready < 0) {
        return {false, errno != EINTR};
    }
    return {(pfd.revents & POLLIN) != 0, (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0};
}

// Qt takes a lock file and TIOCEXCL; flock also keeps out programs that honour only that
// (and TIOCEXCL does not stop root).
bool TakeExclusive(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// USB-serial adapters hold received bytes for a latency timer (16 ms on common ones)
// before passing them on; each answer of an RS232 flash would wait that long. Low-latency
// mode passes them on at once. Drivers and pseudo-terminals that do not know it refuse,
// which changes nothing. True when this call turned it on.
bool RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }
    return false;
}

// The adapter keeps its mode after the port closes (ftdi_sio keeps its latency timer at
// 1 ms until it is unplugged): what the tool turned on, it turns off again.
void DropLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) != 0) {
        serial.flags &= ~ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &serial);
    }
}

}  // namespace

QtSerialPort::QtSerialPort(std::optional<SerialPortMap> fixedMap)
    : BufferedSerialPort(std::move(fixedMap)) {
    QObject::connect(&port_, &QSerialPort::readyRead, &port_,
                     [this] { deliverReceiveNotification(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) {
                         // Inside our own calls the caller checks the error itself. From
                         // the event loop (Qt's read notifier) the device is released
                         // after Qt has finished with it.
                         if (!insideCall() && open_ && IsDeviceFailure(error)) {
                             QMetaObject::invokeMethod(
                                 &port_,
                                 [this, session = session_] {
                                     if (session == session_ && !failed_) {
                                         deviceFailed();
                                         // Once, so that the handler's read finds out.
                                         runReceiveHandler();
                                     }
                                 },
                                 Qt::QueuedConnection);
                         }
                     });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&port_, nullptr, nullptr, nullptr);
    release();
}

std::optional<std::string> QtSerialPort::locationOf(int port) {
    if (fixedMap_) {
        return PortPathFor(*fixedMap_, port);
    }
    std::optional<std::string_view> configured;
    if (const char* value = std::getenv(kSerialPortsVariable)) {
        configured = value;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!configured && (!foundAt_ || now - *foundAt_ > kDeviceListLifetime)) {
        foundDevices_.clear();
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            foundDevices_.push_back(info.systemLocation().toStdString());
        }
        foundAt_ = now;
    }
    return PortPathFor(
        BuildSerialPortMap(configured, configured ? std::vector<std::string>{} : foundDevices_),
        port);
}

SerialFailure QtSerialPort::setSettings(std::string_view settings) {
    const CallScope scope(*this);
    const std::optional<qint32> baudRate = BaudRateOfSettings(settings);
    if (!baudRate) {
        return SerialFailure::SettingsRejected;
    }
    if (port_.isOpen() && !port_.setBaudRate(*baudRate)) {
        port_.setBaudRate(baudRate_);
        port_.clearError();
        return SerialFailure::SettingsRejected;
    }
    baudRate_ = *baudRate;
    settings_ = settings;
    return SerialFailure::None;
}

void QtSerialPort::setInputMode(int mode) {
    inputMode_ = mode;
}

SerialFailure QtSerialPort::open() {
    const CallScope scope(*this);
    if (open_) {
        return SerialFailure::OpenFailed;  // already open: the control refuses too
    }
    const std::optional<std::string> location = locationOf(commPort_);
    if (!location) {
        return SerialFailure::OpenFailed;
    }
    port_.setPortName(QString::fromStdString(*location));
    port_.setBaudRate(baudRate_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        reportUnopened(*location);
        return SerialFailure::OpenFailed;
    }
    if (!TakeExclusive(static_cast<int>(port_.handle()))) {
        port_.close();
        port_.clearError();
        reportUnopened(*location);
        return SerialFailure::OpenFailed;
    }
    lowLatencyTurnedOn_ = RequestLowLatency(static_cast<int>(port_.handle()));
    // Some adapters and level shifters are powered from DTR or RTS. Pseudo-terminals have
    // no modem lines and refuse; that is no reason to fail.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clearError();
    opened();
    ++session_;
    return SerialFailure::None;
}

void QtSerialPort::release() {
    if (port_.isOpen()) {
        const int fd = static_cast<int>(port_.handle());
        if (std::exchange(lowLatencyTurnedOn_, false)) {
            DropLowLatency(fd);
        }
        // Qt closes the device before it deletes its lock file. A pseudo-terminal whose
        // other side has gone gives up its number on that close, and a new one given the
        // number in between could not be opened by anything that honours the lock (another
        // tool on the bench, a test beside this one). A copy of the descriptor keeps the
        // number taken until Qt has finished.
        const Descriptor keep(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
        port_.close();
    }
    port_.clearError();
    received_.clear();
    emptyAt_.reset();
}

void QtSerialPort::takeBytesReadAside() {
    if (port_.bytesAvailable() > 0) {
        const QByteArray data = port_.readAll();
        received_.insert(received_.end(), data.begin(), data.end());
    }
}

// Reads the device itself rather than through Qt: a flash waits for one byte 32767 times,
// and Qt's read (its own poll, its ring buffer, its signals) costs more than the byte's
// wait in the OS. What Qt's notifier read while the event loop ran is older and goes
// first.
bool QtSerialPort::pullBytes(bool ready) {
    if (!open_ || failed_) {
        return false;
    }
    takeBytesReadAside();
    using Clock = std::chrono::steady_clock;
    if (emptyAt_ && Clock::now() - *emptyAt_ < kFreshLook) {
        return true;
    }
    emptyAt_.reset();
    const int fd = static_cast<int>(port_.handle());
    for (int round = 0; round < kMaxPullRounds; ++round) {
        // Where the caller's wait has just seen data, polling again would tell nothing.
        const Readiness readiness = ready && round == 0
                                        ? Readiness{true, false}
                                        : PollInput(fd, std::chrono::nanoseconds::zero());
        if (!readiness.data && !readiness.hangup) {
            emptyAt_ = Clock::now();
            return true;
        }
        std::array<std::uint8_t, kReadChunk> chunk;  // filled by the read
        const ssize_t count = readiness.data ? ::read(fd, chunk.data(), chunk.size()) : 0;
        const int error = errno;
        if (count > 0) {
            received_.insert(received_.end(), chunk.begin(), chunk.begin() + count);
            if (static_cast<std::size_t>(count) < kReadChunk) {
                emptyAt_ = Clock::now();  // a short read took all there was
                return true;
            }
            continue;
        }
        if (count < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) &&
            !readiness.hangup) {
            return true;
        }
        // Readable yet nothing to read, or hung up: a pty whose master closed, or an
        // unplugged adapter, reads as end of file or fails.
        deviceFailed();
        return false;
    }
    return true;
}

void QtSerialPort::discardInput() {
    const CallScope scope(*this);
    if (open_ && !failed_) {
        port_.clear(QSerialPort::Input);
        received_.clear();
        emptyAt_.reset();
        port_.clearError();
    }
}

void QtSerialPort::discardOutput() {
    const CallScope scope(*this);
    if (open_ && !failed_) {
        port_.clear(QSerialPort::Output);
        port_.clearError();
    }
}

SerialFailure QtSerialPort::output(std::span<const std::uint8_t> bytes) {
    const CallScope scope(*this);
    if (!open_) {
        return SerialFailure::PortNotOpen;
    }
    if (failed_) {
        return SerialFailure::WriteFailed;
    }
    if (bytes.empty()) {
        return SerialFailure::None;
    }
    const auto size = static_cast<qint64>(bytes.size());
    const auto giveUp = [this] {
        if (IsDeviceFailure(port_.error())) {
            deviceFailed();
        } else {
            port_.clear(QSerialPort::Output);  // no stale bytes go out with the next write
            port_.clearError();
        }
        return SerialFailure::WriteFailed;
    };
    // With nothing queued in Qt, the bytes go straight to the device: one system call
    // instead of Qt's queue, its poll for room and its write (a flash writes 32767 frames).
    if (port_.bytesToWrite() == 0) {
        const ssize_t written =
            ::write(static_cast<int>(port_.handle()), bytes.data(), bytes.size());
        if (written == size) {
            return SerialFailure::None;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            deviceFailed();
            return SerialFailure::WriteFailed;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
    }
    const auto left = static_cast<qint64>(bytes.size());
    if (port_.write(reinterpret_cast<const char*>(bytes.data()), left) != left) {
        return giveUp();
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + WriteTimeout(bytes.size(), baudRate_);
    while (port_.bytesToWrite() > 0) {
        const int left = ToTimeoutMs(deadline - Clock::now());
        if (left <= 0 || !port_.waitForBytesWritten(left)) {
            return giveUp();
        }
    }
    return SerialFailure::None;
}

void QtSerialPort::waitForInput(std::chrono::nanoseconds maxWait) {
    const CallScope scope(*this);
    if (!open_ || failed_) {
        return;  // nothing can arrive; the caller's next read reports why
    }
    const Readiness readiness = PollInput(static_cast<int>(port_.handle()), maxWait);
    if (readiness.data || readiness.hangup) {
        // Takes the bytes, or finds that the device went away; what the wait saw outdates
        // an earlier look.
        emptyAt_.reset();
        pullBytes(readiness.data && !readiness.hangup);
    }
}

void QtSerialPort::deliverReceiveNotification() {
    if (!failed_) {
        runReceiveHandler();
    }
}

}  // namespace rq
