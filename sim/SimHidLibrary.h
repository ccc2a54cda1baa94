#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ReaderModel.h"
#include "SimTypes.h"
#include "core/Clock.h"
#include "core/HidInventory.h"
#include "core/HidLibrary.h"

namespace rq::sim {

// How a simulated device shows itself on the bus.
struct HidDeviceOptions {
    static constexpr int kAlways = INT_MAX;

    std::uint16_t vendorId = kReaderVendorId;
    std::uint16_t productId = kReaderProductId;
    std::uint16_t inputReportLength = kReportSize;  // report ID included
    std::uint16_t outputReportLength = kReportSize;
    // This many opens fail (as without permission) before one succeeds; kAlways: never.
    int failingOpens = 0;
    // Where the inventory says it is; empty: "sim:hid<number>".
    std::string path{};
    std::string serialNumber{};
};

// The HID library's eight calls over simulated readers, driven by a clock: virtual time
// in tests, the real clock in the demonstration. Reads wait like the real binding: report
// by report, each for at most the read timeout. Everything the host does is recorded.
class SimHidLibrary final : public HidLibrary, public HidInventory {
  public:
    // The per-report wait of a read; the real binding's is the same.
    static constexpr Duration kDefaultReadTimeout = std::chrono::milliseconds(500);

    explicit SimHidLibrary(Clock& clock, Duration readTimeout = kDefaultReadTimeout);

    // Plugs a reader in; it must outlive the library. Devices are numbered 0, 1, ... in
    // the order attached, which is also the order the library enumerates them.
    std::size_t attach(ReaderModel& reader, HidDeviceOptions options = {});
    // Interrupt transfers in frames of this length, as on a real bus (1 ms at full
    // speed): an output report goes out at the next frame boundary, and an input report
    // is read no earlier than the boundary after the one it was ready in. Zero (the
    // default) delivers everything at once.
    void setInterruptInterval(Duration interval) { interval_ = interval; }

    // Takes a device off the bus (its handles die) or puts it back.
    void unplug(std::size_t device);
    void plugIn(std::size_t device);

    std::uint32_t HidDevice_GetNumHidDevices(std::uint16_t vendorId,
                                             std::uint16_t productId) override;
    std::uint8_t HidDevice_Open(HidDeviceRef& device, std::uint32_t deviceIndex,
                                std::uint16_t vendorId, std::uint16_t productId,
                                std::uint32_t numInputBuffers) override;
    void HidDevice_GetHandle(HidDeviceRef device) override;
    std::uint16_t HidDevice_GetInputReportBufferLength(HidDeviceRef device) override;
    std::uint16_t HidDevice_GetOutputReportBufferLength(HidDeviceRef device) override;
    std::uint8_t HidDevice_SetOutputReport_Interrupt(HidDeviceRef device,
                                                     std::span<const std::uint8_t> report) override;
    std::uint8_t HidDevice_GetInputReport_Interrupt(HidDeviceRef device,
                                                    std::span<std::uint8_t> buffer,
                                                    std::uint32_t numberOfReports,
                                                    std::uint32_t& bytesReturned) override;
    std::uint8_t HidDevice_Close(HidDeviceRef device) override;

    [[nodiscard]] std::vector<HidDeviceInfo> listHidDevices(std::uint16_t vendorId,
                                                            std::uint16_t productId) override;

    // --- What the host did
    struct SentReport {
        std::size_t device = 0;  // device number; SIZE_MAX when the reference was dead
        Bytes bytes;
        Duration at{};
        std::uint8_t status = 0;
    };
    struct Read {
        std::size_t device = 0;
        std::uint32_t reports = 0;  // asked for
        std::uint32_t bytesReturned = 0;
        std::uint8_t status = 0;
        Duration started{};
        Duration ended{};
    };
    [[nodiscard]] const std::vector<SentReport>& sentReports() const { return sent_; }
    // The reports that reached a device, in order.
    [[nodiscard]] std::vector<Bytes> reportsSentTo(std::size_t device) const;
    [[nodiscard]] const std::vector<Read>& reads() const { return reads_; }
    [[nodiscard]] int countCalls() const { return countCalls_; }
    [[nodiscard]] int openCalls() const { return openCalls_; }
    [[nodiscard]] int getHandleCalls() const { return getHandleCalls_; }
    [[nodiscard]] int closeCalls() const { return closeCalls_; }
    [[nodiscard]] std::size_t openHandles() const { return handles_.size(); }
    void clearRecords();

  private:
    struct Device {
        ReaderModel* reader;  // not owned
        HidDeviceOptions options;
        int failedOpens = 0;
        bool plugged = true;
        std::uint64_t plugSession = 0;
    };
    struct Handle {
        std::size_t device;
        std::uint64_t busSession;
        std::uint64_t plugSession;
    };

    [[nodiscard]] bool present(Device& device);
    // The device behind a live handle; nullptr when the handle is unknown or dead.
    Device* deviceFor(HidDeviceRef ref);
    std::vector<std::size_t> enumerate(std::uint16_t vendorId, std::uint16_t productId);

    Clock& clock_;
    Duration readTimeout_;
    Duration interval_{};
    // The frame boundary after `time`; `time` itself without framing.
    [[nodiscard]] Duration nextFrame(Duration time) const;
    std::vector<Device> devices_;
    std::map<HidDeviceRef, Handle> handles_;
    HidDeviceRef nextRef_ = 1;

    std::vector<SentReport> sent_;
    std::vector<Read> reads_;
    int countCalls_ = 0;
    int openCalls_ = 0;
    int getHandleCalls_ = 0;
    int closeCalls_ = 0;
};

}  // namespace rq::sim
