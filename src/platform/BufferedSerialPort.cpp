#include "platform/BufferedSerialPort.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace rq {

BufferedSerialPort::BufferedSerialPort(std::optional<SerialPortMap> fixedMap)
    : fixedMap_(std::move(fixedMap)) {}

void BufferedSerialPort::setCommPort(int port) {
    if (!open_) {
        commPort_ = port;
    }
}

void BufferedSerialPort::close() {
    const CallScope scope(*this);
    release();
    open_ = false;
    failed_ = false;
    takenBeforeFailure_.clear();
}

SerialFailure BufferedSerialPort::inBufferCount(int& count) {
    const CallScope scope(*this);
    count = 0;
    if (!open_) {
        return SerialFailure::PortNotOpen;
    }
    if (!pullWaitingBytes()) {
        return SerialFailure::ReadFailed;
    }
    count = static_cast<int>(std::min<std::size_t>(received_.size(), INT_MAX));
    return SerialFailure::None;
}

SerialFailure BufferedSerialPort::input(std::vector<std::uint8_t>& bytes) {
    const CallScope scope(*this);
    bytes.clear();
    if (!open_) {
        return SerialFailure::PortNotOpen;
    }
    if (!pullWaitingBytes()) {
        bytes = std::exchange(takenBeforeFailure_, {});
        return SerialFailure::ReadFailed;
    }
    bytes = std::exchange(received_, {});
    return SerialFailure::None;
}

void BufferedSerialPort::setReceiveHandler(std::function<void()> handler) {
    receiveHandler_ = std::move(handler);
    receiveHandlerChanged();
}

void BufferedSerialPort::opened() {
    received_.clear();
    takenBeforeFailure_.clear();
    open_ = true;
    failed_ = false;
}

void BufferedSerialPort::deviceFailed() {
    if (open_ && !failed_) {
        failed_ = true;
        takeBytesReadAside();
        takenBeforeFailure_ = std::exchange(received_, {});
        release();
    }
}

void BufferedSerialPort::reportUnopened(const std::string& location) {
    if (!fixedMap_) {
        unopenedReports_.tell(location);
    }
}

void BufferedSerialPort::runReceiveHandler() {
    if (callDepth_ > 0 || !open_ || !receiveHandler_) {
        return;
    }
    // A copy: the handler may replace itself or close the port.
    const std::function<void()> handler = receiveHandler_;
    handler();
}

}  // namespace rq
