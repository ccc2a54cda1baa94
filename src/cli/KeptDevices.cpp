#include "cli/KeptDevices.h"

namespace rq::cli {

KeptSerialPort::~KeptSerialPort() {
    keep(false);
}

void KeptSerialPort::keep(bool on) {
    keep_ = on;
    if (!keep_ && !open_ && inner().isOpen()) {
        inner().close();
    }
}

void KeptSerialPort::setCommPort(int port) {
    if (!open_) {
        commPort_ = port;
    }
}

SerialFailure KeptSerialPort::open() {
    if (open_) {
        return SerialFailure::OpenFailed;
    }
    if (inner().isOpen()) {
        if (inner().commPort() == commPort_) {
            // Taken up again: what came in meanwhile belongs to no question of ours.
            inner().discardInput();
            inner().discardOutput();
            open_ = true;
            return SerialFailure::None;
        }
        inner().close();
    }
    inner().setCommPort(commPort_);
    const SerialFailure failure = inner().open();
    open_ = failure == SerialFailure::None;
    return failure;
}

void KeptSerialPort::close() {
    open_ = false;
    if (!keep_) {
        inner().close();
    }
}

SerialFailure KeptSerialPort::inBufferCount(int& count) {
    count = 0;
    return open_ ? inner().inBufferCount(count) : SerialFailure::PortNotOpen;
}

SerialFailure KeptSerialPort::output(std::span<const std::uint8_t> bytes) {
    return open_ ? inner().output(bytes) : SerialFailure::PortNotOpen;
}

SerialFailure KeptSerialPort::input(std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    return open_ ? inner().input(bytes) : SerialFailure::PortNotOpen;
}

KeptHidLibrary::~KeptHidLibrary() {
    keep(false);
}

void KeptHidLibrary::keep(bool on) {
    keep_ = on;
    if (!keep_ && closed_ && open_) {
        inner().HidDevice_Close(open_->device);
        open_.reset();
        closed_ = false;
    }
}

std::uint8_t KeptHidLibrary::HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                            std::uint16_t vendorId, std::uint16_t productId,
                                            std::uint32_t numInputBuffers) {
    if (open_ && closed_) {
        if (open_->index == deviceIndex) {
            closed_ = false;
            device = open_->device;
            return kHidSuccess;
        }
        inner().HidDevice_Close(open_->device);
        open_.reset();
        closed_ = false;
    }
    const std::uint8_t status =
        inner().HidDevice_Open(device, deviceIndex, vendorId, productId, numInputBuffers);
    if (status == kHidSuccess) {
        open_ = Kept{device, deviceIndex};
    }
    return status;
}

std::uint8_t KeptHidLibrary::HidDevice_Close(HidDeviceRef device) {
    if (open_ && open_->device == device) {
        if (keep_) {
            closed_ = true;
            return kHidSuccess;
        }
        open_.reset();
        closed_ = false;
    }
    return inner().HidDevice_Close(device);
}

}  // namespace rq::cli
