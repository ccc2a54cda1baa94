#include "SimHidLibrary.h"

#include <algorithm>

namespace rq::sim {
namespace {

constexpr std::size_t kNoDevice = SIZE_MAX;

}  // namespace

SimHidLibrary::SimHidLibrary(Clock& clock, Duration readTimeout)
    : clock_(clock), readTimeout_(readTimeout) {}

std::size_t SimHidLibrary::attach(ReaderModel& reader, HidDeviceOptions options) {
    if (options.path.empty()) {
        options.path = "sim:hid" + std::to_string(devices_.size());
    }
    devices_.push_back(Device{&reader, options});
    return devices_.size() - 1;
}

void SimHidLibrary::unplug(std::size_t device) {
    Device& entry = devices_.at(device);
    entry.plugged = false;
    ++entry.plugSession;
}

void SimHidLibrary::plugIn(std::size_t device) {
    devices_.at(device).plugged = true;
}

bool SimHidLibrary::present(Device& device) {
    return device.plugged && device.reader->onUsbBus(clock_.now());
}

SimHidLibrary::Device* SimHidLibrary::deviceFor(HidDeviceRef ref) {
    const auto found = handles_.find(ref);
    if (found == handles_.end()) {
        return nullptr;
    }
    Device& device = devices_[found->second.device];
    // A device that left the bus comes back as a new device: old handles stay dead.
    if (!present(device) || device.reader->busSession() != found->second.busSession ||
        device.plugSession != found->second.plugSession) {
        return nullptr;
    }
    return &device;
}

std::vector<std::size_t> SimHidLibrary::enumerate(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<std::size_t> matching;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        Device& device = devices_[i];
        if (device.options.vendorId == vendorId && device.options.productId == productId &&
            present(device)) {
            matching.push_back(i);
        }
    }
    return matching;
}

std::uint32_t SimHidLibrary::HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                                        std::uint16_t productId) {
    ++countCalls_;
    return static_cast<std::uint32_t>(enumerate(vendorId, productId).size());
}

std::uint8_t SimHidLibrary::HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                           std::uint16_t vendorId, std::uint16_t productId,
                                           std::uint32_t /*numInputBuffers*/) {
    ++openCalls_;
    const auto matching = enumerate(vendorId, productId);
    if (deviceIndex >= matching.size()) {
        return kHidDeviceNotFound;
    }
    const std::size_t number = matching[deviceIndex];
    Device& entry = devices_[number];
    if (entry.failedOpens < entry.options.failingOpens) {
        ++entry.failedOpens;
        return kHidDeviceNotOpened;
    }
    // Reports the reader sent while nobody had it open are gone.
    entry.reader->dropInputReportsUntil(clock_.now());
    device = nextRef_++;
    handles_[device] = Handle{number, entry.reader->busSession(), entry.plugSession};
    return kHidSuccess;
}

void SimHidLibrary::HidDevice_GetHandle(HidDeviceRef /*device*/) {
    ++getHandleCalls_;
}

std::uint16_t SimHidLibrary::HidDevice_GetInputReportBufferLength(HidDeviceRef device) {
    const Device* entry = deviceFor(device);
    return entry ? entry->options.inputReportLength : 0;
}

std::uint16_t SimHidLibrary::HidDevice_GetOutputReportBufferLength(HidDeviceRef device) {
    const Device* entry = deviceFor(device);
    return entry ? entry->options.outputReportLength : 0;
}

Duration SimHidLibrary::nextFrame(Duration time) const {
    if (interval_ <= Duration::zero()) {
        return time;
    }
    return (time / interval_ + 1) * interval_;
}

std::uint8_t SimHidLibrary::HidDevice_SetOutputReport_Interrupt(
    HidDeviceRef device, std::span<const std::uint8_t> report) {
    if (interval_ > Duration::zero()) {
        clock_.sleepUntil(nextFrame(clock_.now()));
    }
    SentReport record{kNoDevice, Bytes(report.begin(), report.end()), clock_.now(), 0};
    Device* entry = deviceFor(device);
    if (!entry) {
        record.status = handles_.contains(device) ? kHidTransferFailed : kHidDeviceNotOpened;
    } else {
        record.device = handles_.at(device).device;
        if (report.size() != entry->options.outputReportLength) {
            record.status = kHidInvalidBuffer;
        } else if (!entry->reader->receiveOutputReport(report, clock_.now())) {
            record.status = kHidTransferFailed;  // unplugged while sending
        }
    }
    sent_.push_back(record);
    return record.status;
}

std::uint8_t SimHidLibrary::HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                               std::span<std::uint8_t> buffer,
                                                               std::uint32_t numberOfReports,
                                                               std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    Read record{kNoDevice, numberOfReports, 0, kHidSuccess, clock_.now(), clock_.now()};
    Device* entry = deviceFor(device);
    if (!entry) {
        record.status = handles_.contains(device) ? kHidTransferFailed : kHidDeviceNotOpened;
        reads_.push_back(record);
        return record.status;
    }
    record.device = handles_.at(device).device;
    const std::size_t length = entry->options.inputReportLength;
    if (buffer.size() < length * numberOfReports) {
        record.status = kHidInvalidBuffer;
        reads_.push_back(record);
        return record.status;
    }
    // Report by report, each waited for at most the timeout; the first timeout ends the
    // read and leaves the rest of the buffer as it was.
    for (std::uint32_t k = 0; k < numberOfReports; ++k) {
        const Duration deadline = clock_.now() + readTimeout_;
        auto next = entry->reader->nextInputReportTime();
        if (next && interval_ > Duration::zero()) {
            next = nextFrame(*next);
        }
        if (!next || *next > deadline) {
            clock_.sleepUntil(deadline);
            record.status = kHidTransferTimeout;
            break;
        }
        clock_.sleepUntil(*next);
        if (!deviceFor(device)) {
            record.status = kHidTransferFailed;
            break;
        }
        const auto report = entry->reader->takeInputReport();
        const auto slot = buffer.subspan(k * length, length);
        std::fill(slot.begin(), slot.end(), 0);
        std::copy_n(report->bytes.begin(), std::min(length, kReportSize), slot.begin());
        bytesReturned += static_cast<std::uint32_t>(length);
    }
    record.bytesReturned = bytesReturned;
    record.ended = clock_.now();
    reads_.push_back(record);
    return record.status;
}

std::uint8_t SimHidLibrary::HidDevice_Close(HidDeviceRef device) {
    ++closeCalls_;
    return handles_.erase(device) == 1 ? kHidSuccess : kHidDeviceNotOpened;
}

std::vector<HidDeviceInfo> SimHidLibrary::listHidDevices(std::uint16_t vendorId,
                                                         std::uint16_t productId) {
    std::vector<HidDeviceInfo> listed;
    const auto matching = enumerate(vendorId, productId);
    for (std::size_t i = 0; i < matching.size(); ++i) {
        const HidDeviceOptions& options = devices_[matching[i]].options;
        listed.push_back({static_cast<std::uint32_t>(i), options.path, options.serialNumber});
    }
    return listed;
}

std::vector<Bytes> SimHidLibrary::reportsSentTo(std::size_t device) const {
    std::vector<Bytes> reports;
    for (const SentReport& sent : sent_) {
        if (sent.device == device && sent.status == kHidSuccess) {
            reports.push_back(sent.bytes);
        }
    }
    return reports;
}

void SimHidLibrary::clearRecords() {
    sent_.clear();
    reads_.clear();
    countCalls_ = openCalls_ = getHandleCalls_ = closeCalls_ = 0;
}

}  // namespace rq::sim
