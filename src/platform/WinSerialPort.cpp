#include "platform/WinSerialPort.h"

#include <windows.h>

#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "platform/DeviceDiagnosis.h"
#include "platform/DeviceReports.h"
#include "platform/PortSettings.h"

namespace rq {
namespace {

using Clock = std::chrono::steady_clock;

// One read takes up to this much; the bound on rounds keeps a line that never falls
// silent from holding a call forever.
constexpr std::size_t kReadChunk = 4096;
constexpr int kMaxPullRounds = 64;
// A search tries a port at four rates, up to 12.8 s apart; its reason is told once.
// A read of bytes the driver holds completes at once; on a loaded machine it may take a
// moment. One that has not completed by then is cancelled with what it has.
constexpr std::chrono::milliseconds kAtOnce{100};
// A read also ends by the driver's own timeout, at the same time; this much later the
// binding cancels it.
constexpr std::chrono::milliseconds kDriverSlack{5};
// A cancelled transfer completes with what it has; a driver that does not within this
// time has lost the port.
constexpr DWORD kCancelGraceMs = 500;
// While a receive handler is set, the event loop looks for received bytes this often.
constexpr std::chrono::milliseconds kPollInterval{10};

// Time to hand `count` bytes to the driver: a second of slack plus twice the line time.
std::chrono::milliseconds WriteTimeout(std::size_t count, std::uint32_t baudRate) {
    const auto lineMs = static_cast<long long>(count) * 10 * 1000 /
                        static_cast<long long>(std::max<std::uint32_t>(baudRate, 1));
    return std::chrono::milliseconds(1000 + 2 * lineMs);
}

DWORD MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
}

// COMn is opened in the device namespace, where COM10 and up are found too.
std::wstring OpenName(const std::string& location) {
    const bool comName =
        location.size() > 3 && QString::fromStdString(location.substr(0, 3)).toUpper() == "COM" &&
        std::all_of(location.begin() + 3, location.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    return QString::fromStdString(comName ? "\\\\.\\" + location : location).toStdWString();
}

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
    return a.ReadIntervalTimeout == b.ReadIntervalTimeout &&
           a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
           a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
           a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
           a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

}  // namespace

// The open port: its handle, opened for overlapped transfers, and the one transfer it
// runs at a time with its buffer.
class WinSerialPort::Device {
  public:
    explicit Device(HANDLE handle)
        : handle_(handle), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Device() {
        // A transfer the driver never completed may still write into this object: it is
        // kept (see release()) and its handle stays open until the program ends.
        if (!stuck_) {
            CloseHandle(handle_);
            if (event_ != nullptr) {
                CloseHandle(event_);
            }
        }
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // 8N1 at `baudRate`, no flow control, DTR and RTS raised, both directions empty.
    // False when the handle is no serial port or refuses the settings.
    bool setUp(std::uint32_t baudRate) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (event_ == nullptr || !GetCommState(handle_, &dcb)) {
            return false;
        }
        dcb.BaudRate = baudRate;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(handle_, &dcb)) {
            return false;
        }
        purge(PURGE_RXCLEAR | PURGE_TXCLEAR);
        return true;
    }

    bool setBaudRate(std::uint32_t baudRate) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) {
            return false;
        }
        dcb.BaudRate = baudRate;
        return SetCommState(handle_, &dcb) != FALSE;
    }

    void purge(DWORD what) { (void)PurgeComm(handle_, what); }

    // The count of received bytes the driver holds; nullopt when the device has failed.
    std::optional<DWORD> waiting() {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) {
            return std::nullopt;
        }
        return status.cbInQue;
    }

    // Reads up to `size` bytes: they end the read as soon as they are there, else
    // `deadline` does. nullopt when the device has failed.
    std::optional<std::span<const std::uint8_t>> read(std::size_t size,
                                                      Clock::time_point deadline) {
        // A total timeout alone means the same on Windows and under Wine: the read ends
        // when its bytes are there or the time is up. (The mode that ends a read at the
        // first byte is Windows' only; Wine waits out its whole constant. All zero would
        // wait for ever.)
        COMMTIMEOUTS wanted = timeouts_;
        wanted.ReadIntervalTimeout = 0;
        wanted.ReadTotalTimeoutMultiplier = 0;
        wanted.ReadTotalTimeoutConstant = std::max<DWORD>(MillisecondsUntil(deadline), 1);
        if (!applyTimeouts(wanted)) {
            return std::nullopt;
        }
        size = std::min(size, buffer_.size());
        startTransfer();
        const BOOL started =
            ReadFile(handle_, buffer_.data(), static_cast<DWORD>(size), nullptr, &io_);
        const auto done = finish(started, deadline + kDriverSlack);
        if (!done) {
            return std::nullopt;
        }
        return std::span<const std::uint8_t>(buffer_.data(), *done);
    }

    // Writes `bytes` by `deadline`; the count written, nullopt when the device has failed.
    std::optional<DWORD> write(std::span<const std::uint8_t> bytes,
                               std::chrono::milliseconds time) {
        COMMTIMEOUTS wanted = timeouts_;
        wanted.WriteTotalTimeoutMultiplier = 0;
        wanted.WriteTotalTimeoutConstant = static_cast<DWORD>(time.count());
        if (!applyTimeouts(wanted)) {
            return std::nullopt;
        }
        startTransfer();
        const BOOL started =
            WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &io_);
        return finish(started, Clock::now() + time + kDriverSlack);
    }

    [[nodiscard]] bool stuck() const { return stuck_; }

  private:
    bool applyTimeouts(const COMMTIMEOUTS& wanted) {
        if (timeoutsSet_ && SameTimeouts(wanted, timeouts_)) {
            return true;
        }
        COMMTIMEOUTS given = wanted;
        if (!SetCommTimeouts(handle_, &given)) {
            return false;
        }
        timeouts_ = wanted;
        timeoutsSet_ = true;
        return true;
    }

    void startTransfer() {
        io_ = OVERLAPPED{};
        io_.hEvent = event_;
        ResetEvent(event_);
    }

    // Waits for the transfer until `deadline`, then cancels it. The bytes moved, also by
    // a cancelled transfer; nullopt when it failed or the driver never completed it.
    std::optional<DWORD> finish(BOOL started, Clock::time_point deadline) {
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            return std::nullopt;
        }
        if (WaitForSingleObject(event_, MillisecondsUntil(deadline)) != WAIT_OBJECT_0) {
            (void)CancelIoEx(handle_, &io_);
            if (WaitForSingleObject(event_, kCancelGraceMs) != WAIT_OBJECT_0) {
                stuck_ = true;
                return std::nullopt;
            }
        }
        DWORD done = 0;
        if (!GetOverlappedResult(handle_, &io_, &done, FALSE)) {
            // Ended by its timeout (Wine reports that as a failure, Windows does not) or
            // cancelled at the deadline: what came is the result.
            const DWORD error = GetLastError();
            return error == ERROR_TIMEOUT || error == ERROR_OPERATION_ABORTED
                       ? std::optional<DWORD>(done)
                       : std::nullopt;
        }
        return done;
    }

    HANDLE handle_;
    HANDLE event_;
    OVERLAPPED io_{};
    std::array<std::uint8_t, kReadChunk> buffer_{};
    COMMTIMEOUTS timeouts_{};
    bool timeoutsSet_ = false;
    bool stuck_ = false;
};

WinSerialPort::WinSerialPort(std::optional<SerialPortMap> fixedMap)
    : BufferedSerialPort(std::move(fixedMap)) {
    pollTimer_.setInterval(kPollInterval);
    QObject::connect(&pollTimer_, &QTimer::timeout, [this] { poll(); });
}

WinSerialPort::~WinSerialPort() {
    pollTimer_.stop();
    release();
}

std::optional<std::string> WinSerialPort::locationOf(int port) const {
    if (fixedMap_) {
        return PortPathFor(*fixedMap_, port);
    }
    if (const char* value = std::getenv(kSerialPortsVariable)) {
        return PortPathFor(BuildSerialPortMap(std::string_view(value), {}), port);
    }
    return WindowsDeviceName(port);
}

SerialFailure WinSerialPort::setSettings(std::string_view settings) {
    const CallScope scope(*this);
    const std::optional<std::int32_t> baudRate = BaudRateOfSettings(settings);
    if (!baudRate) {
        return SerialFailure::SettingsRejected;
    }
    const auto rate = static_cast<std::uint32_t>(*baudRate);
    if (device_ && !device_->setBaudRate(rate)) {
        (void)device_->setBaudRate(baudRate_);
        return SerialFailure::SettingsRejected;
    }
    baudRate_ = rate;
    settings_ = settings;
    return SerialFailure::None;
}

void WinSerialPort::setInputMode(int /*mode*/) {
    // Reads are bytes whatever the mode.
}

SerialFailure WinSerialPort::open() {
    const CallScope scope(*this);
    if (open_) {
        return SerialFailure::OpenFailed;  // already open: the control refuses too
    }
    const std::optional<std::string> location = locationOf(commPort_);
    if (!location) {
        return SerialFailure::OpenFailed;
    }
    const HANDLE handle = CreateFileW(OpenName(*location).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reportUnopened(*location);
        return SerialFailure::OpenFailed;
    }
    auto device = std::make_unique<Device>(handle);
    if (!device->setUp(baudRate_)) {
        return SerialFailure::OpenFailed;  // not a serial port
    }
    device_ = std::move(device);
    opened();
    failureTold_ = false;
    updatePolling();
    return SerialFailure::None;
}

void WinSerialPort::release() {
    if (device_ && device_->stuck()) {
        // The driver may still complete its transfer into the device's buffer.
        static std::vector<std::unique_ptr<Device>> abandoned;
        abandoned.push_back(std::move(device_));
    }
    device_.reset();
    received_.clear();
}

void WinSerialPort::close() {
    BufferedSerialPort::close();
    updatePolling();
}

bool WinSerialPort::pullWaitingBytes() {
    if (!open_ || failed_) {
        return false;
    }
    // The driver's count first: a read of what it holds ends at once, where a read
    // "of what is there" would be another mode again whose meaning Wine does not share.
    for (int round = 0; round < kMaxPullRounds; ++round) {
        const std::optional<DWORD> count = device_->waiting();
        if (!count) {
            deviceFailed();
            return false;
        }
        if (*count == 0) {
            break;
        }
        const auto chunk = device_->read(*count, Clock::now() + kAtOnce);
        if (!chunk) {
            deviceFailed();
            return false;
        }
        received_.insert(received_.end(), chunk->begin(), chunk->end());
        if (chunk->size() < kReadChunk) {
            break;  // all there was
        }
    }
    return true;
}

void WinSerialPort::discardInput() {
    const CallScope scope(*this);
    if (open_ && !failed_) {
        device_->purge(PURGE_RXCLEAR);
        received_.clear();
    }
}

void WinSerialPort::discardOutput() {
    const CallScope scope(*this);
    if (open_ && !failed_) {
        device_->purge(PURGE_TXCLEAR);
    }
}

SerialFailure WinSerialPort::output(std::span<const std::uint8_t> bytes) {
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
    const std::optional<DWORD> written =
        device_->write(bytes, WriteTimeout(bytes.size(), baudRate_));
    if (!written) {
        deviceFailed();
        return SerialFailure::WriteFailed;
    }
    if (*written != bytes.size()) {
        device_->purge(PURGE_TXCLEAR);  // no stale bytes go out with the next write
        return SerialFailure::WriteFailed;
    }
    return SerialFailure::None;
}

void WinSerialPort::waitForInput(std::chrono::nanoseconds maxWait) {
    const CallScope scope(*this);
    if (!open_ || failed_) {
        return;  // nothing can arrive; the caller's next read reports why
    }
    const auto deadline = Clock::now() + std::chrono::ceil<std::chrono::milliseconds>(
                                             std::max(maxWait, std::chrono::nanoseconds::zero()));
    const auto first = device_->read(1, deadline);
    if (!first) {
        deviceFailed();
        return;
    }
    received_.insert(received_.end(), first->begin(), first->end());
    if (!first->empty()) {
        (void)pullWaitingBytes();  // what came with it
    }
}

void WinSerialPort::updatePolling() {
    if (open_ && hasReceiveHandler()) {
        if (!pollTimer_.isActive()) {
            pollTimer_.start();
        }
    } else {
        pollTimer_.stop();
    }
}

void WinSerialPort::poll() {
    if (insideCall() || !open_ || !hasReceiveHandler()) {
        return;
    }
    if (!failed_) {
        const CallScope scope(*this);
        (void)pullWaitingBytes();
    }
    if (failed_) {
        if (failureTold_) {
            return;
        }
        failureTold_ = true;  // once, so that the handler's read finds out
    } else if (received_.empty()) {
        return;
    }
    runReceiveHandler();
}

}  // namespace rq
