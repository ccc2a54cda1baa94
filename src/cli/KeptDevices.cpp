#include "cli/KeptDevices.h"

namespace rq::cli {

KeptSerialPort::~KeptSerialPort() {
    keep(false);
}

void KeptSerialPort::keep(bool on) {
    keep_ = on;
    if (!keep_ && !open_ && port_.isOpen()) {
        port_.close();
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
    if (port_.isOpen()) {
        if (port_.commPort() == commPort_) {
            // Taken up again: what came in meanwhile belongs to no question of ours.
            port_.discardInput();
            port_.discardOutput();
            open_ = true;
            return SerialFailure::None;
        }
        port_.close();
    }
    port_.setCommPort(commPort_);
    const SerialFailure failure = port_.open();
    open_ = failure == SerialFailure::None;
    return failure;
}

void KeptSerialPort::close() {
    open_ = false;
    if (!keep_) {
        port_.close();
    }
}

SerialFailure KeptSerialPort::inBufferCount(int& count) {
    count = 0;
    return open_ ? port_.inBufferCount(count) : SerialFailure::PortNotOpen;
}

SerialFailure KeptSerialPort::output(std::span<const std::uint8_t> bytes) {
    return open_ ? port_.output(bytes) : SerialFailure::PortNotOpen;
}

SerialFailure KeptSerialPort::input(std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    return open_ ? port_.input(bytes) : SerialFailure::PortNotOpen;
}

KeptHidLibrary::~KeptHidLibrary() {
    keep(false);
}

void KeptHidLibrary::keep(bool on) {
    keep_ = on;
    if (!keep_ && closed_ && open_) {
        hid_.HidDevice_Close(open_->device);
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
        hid_.HidDevice_Close(open_->device);
        open_.reset();
        closed_ = false;
    }
    const std::uint8_t status =
        hid_.HidDevice_Open(device, deviceIndex, vendorId, productId, numInputBuffers);
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
    return hid_.HidDevice_Close(device);
}

}  // namespace rq::cli
