#include "SimSerialPort.h"

#include <algorithm>

namespace rq::sim {
namespace {

// Ten bits per byte: the host's bytes reach the reader this long after they are written.
Duration TransmissionTime(std::size_t bytes, int baud) {
    return std::chrono::duration_cast<Duration>(std::chrono::seconds(1)) *
           static_cast<std::int64_t>(bytes * 10) / baud;
}

}  // namespace

int BaudOfSettings(std::string_view settings) {
    for (const int baud : {9600, 19200, 57600, 115200}) {
        if (settings == std::to_string(baud) + ",n,8,1") {
            return baud;
        }
    }
    return 0;
}

SimSerialPort::SimSerialPort(Clock& clock) : clock_(clock) {}

void SimSerialPort::attachReader(int port, ReaderModel& reader) {
    ports_[port] = Port{Kind::Reader, &reader, false};
}

void SimSerialPort::addSilentPort(int port) {
    ports_[port] = Port{Kind::Silent, nullptr, false};
}

void SimSerialPort::addBusyPort(int port) {
    ports_[port] = Port{Kind::Busy, nullptr, false};
}

void SimSerialPort::unplug(int port) {
    ports_[port].unplugged = true;
}

void SimSerialPort::setCommPort(int port) {
    // Refused while open, as the control refuses it.
    if (openPort_ == 0) {
        commPort_ = port;
    }
}

SerialFailure SimSerialPort::setSettings(std::string_view settings) {
    const int baud = BaudOfSettings(settings);
    if (baud == 0) {
        return SerialFailure::SettingsRejected;
    }
    pump();  // bytes already on their way arrive at the old rate
    settings_ = std::string(settings);
    baud_ = baud;
    return SerialFailure::None;
}

SimSerialPort::Port* SimSerialPort::openEntry() {
    if (openPort_ == 0) {
        return nullptr;
    }
    const auto found = ports_.find(openPort_);
    return found == ports_.end() ? nullptr : &found->second;
}

bool SimSerialPort::failing() {
    Port* port = openEntry();
    if (!port) {
        return false;
    }
    if (port->kind == Kind::Reader && port->reader->gone()) {
        port->unplugged = true;  // the reader took its adapter with it
    }
    return port->unplugged;
}

SerialFailure SimSerialPort::open() {
    OpenAttempt attempt{commPort_, settings_, false, clock_.now()};
    const auto found = ports_.find(commPort_);
    const bool usable = openPort_ == 0 && found != ports_.end() &&
                        found->second.kind != Kind::Busy && !found->second.unplugged &&
                        !(found->second.kind == Kind::Reader && found->second.reader->gone());
    if (!usable) {
        opens_.push_back(attempt);
        return SerialFailure::OpenFailed;
    }
    openPort_ = commPort_;
    failureNotified_ = false;
    received_.clear();
    if (found->second.kind == Kind::Reader) {
        // What the reader sent while the port was closed fell on deaf ears.
        found->second.reader->takeSerialOutput(clock_.now());
    }
    attempt.opened = true;
    opens_.push_back(attempt);
    return SerialFailure::None;
}

void SimSerialPort::close() {
    if (openPort_ != 0) {
        pump();
        ++closes_;
    }
    openPort_ = 0;
    received_.clear();
}

void SimSerialPort::pump() {
    Port* port = openEntry();
    if (!port || port->kind != Kind::Reader || port->unplugged) {
        return;
    }
    for (SerialChunk& chunk : port->reader->takeSerialOutput(clock_.now())) {
        if (chunk.baud == baud_) {
            received_.insert(received_.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
    }
}

SerialFailure SimSerialPort::inBufferCount(int& count) {
    count = 0;
    if (openPort_ == 0) {
        return SerialFailure::PortNotOpen;
    }
    if (failing()) {
        return SerialFailure::ReadFailed;
    }
    pump();
    count = static_cast<int>(received_.size());
    return SerialFailure::None;
}

void SimSerialPort::discardInput() {
    pump();
    received_.clear();
}

SerialFailure SimSerialPort::output(std::span<const std::uint8_t> bytes) {
    if (openPort_ == 0) {
        return SerialFailure::PortNotOpen;
    }
    if (failing()) {
        return SerialFailure::WriteFailed;
    }
    pump();
    const Duration now = clock_.now();
    writes_.push_back(Write{openPort_, baud_, Bytes(bytes.begin(), bytes.end()), now});
    Port* port = openEntry();
    if (port->kind != Kind::Reader || bytes.empty() || port->reader->serialBaud(now) != baud_) {
        return SerialFailure::None;
    }
    if (!port->reader->receiveSerial(bytes, now + TransmissionTime(bytes.size(), baud_))) {
        port->unplugged = true;
        return SerialFailure::WriteFailed;
    }
    return SerialFailure::None;
}

SerialFailure SimSerialPort::input(std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (openPort_ == 0) {
        return SerialFailure::PortNotOpen;
    }
    if (failing()) {
        bytes.swap(received_);  // taken from the line before it failed
        return SerialFailure::ReadFailed;
    }
    pump();
    bytes.swap(received_);
    received_.clear();
    return SerialFailure::None;
}

void SimSerialPort::waitForInput(std::chrono::nanoseconds maxWait) {
    if (openPort_ == 0 || failing()) {
        return;  // a failing port does not block
    }
    const Duration deadline = clock_.now() + maxWait;
    pump();
    const std::size_t before = received_.size();
    Port* port = openEntry();
    while (received_.size() == before) {
        const auto next = port->kind == Kind::Reader && !port->unplugged
                              ? port->reader->nextSerialOutputTime()
                              : std::nullopt;
        if (!next || *next > deadline) {
            clock_.sleepUntil(deadline);
            pump();
            return;
        }
        clock_.sleepUntil(*next);
        pump();  // bytes at another rate are dropped here: keep waiting
    }
}

void SimSerialPort::setReceiveHandler(std::function<void()> handler) {
    receiveHandler_ = std::move(handler);
}

bool SimSerialPort::deliverReceiveNotification() {
    if (openPort_ == 0) {
        return false;
    }
    if (failing()) {
        // A pulled adapter is told once, so that the handler's read finds out.
        if (failureNotified_ || !receiveHandler_) {
            return false;
        }
        failureNotified_ = true;
        receiveHandler_();
        return true;
    }
    pump();
    if (received_.empty() || !receiveHandler_) {
        return false;
    }
    receiveHandler_();
    return true;
}

std::vector<SimSerialPort::Write> SimSerialPort::writesTo(int port) const {
    std::vector<Write> matching;
    std::copy_if(writes_.begin(), writes_.end(), std::back_inserter(matching),
                 [port](const Write& write) { return write.port == port; });
    return matching;
}

void SimSerialPort::clearRecords() {
    writes_.clear();
    opens_.clear();
    closes_ = 0;
}

}  // namespace rq::sim
