#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/HidInventory.h"
#include "core/HidLibrary.h"
#include "core/Outcome.h"
#include "core/SerialPort.h"
#include "survey/ReaderPlace.h"

namespace rq {

// What a probe of one place found.
struct PlaceReport {
    ReaderPlace place;
    // Done: a reader answered and told its version; Failed: a reader answered the search
    // but not the version query; NotFound: no reader there.
    Outcome outcome = Outcome::NotFound;
    bool revisionB = false;
    int baudCode = -1;  // serial: the rate code the reader answered at
    std::string version;
};

// A serial port and a clock of its own for one probe, on one thread.
struct PortProbe {
    std::unique_ptr<SerialPort> port;  // opens only the place's COM number
    std::unique_ptr<Clock> clock;
};

// The devices a survey works on. The HID library serves the USB places one after the
// other on the caller's thread; `forPort` is called on the probe's own thread.
struct SurveyDevices {
    HidLibrary& hid;
    HidInventory& inventory;
    Clock& clock;
    std::function<PortProbe(const ReaderPlace&)> forPort;
    // Starts each job on a thread of its own, runs `meanwhile` on the caller's thread,
    // then waits for the jobs. Empty: std::jthread (a binding whose ports want threads
    // of its own kind gives its own).
    std::function<void(std::vector<std::function<void()>>& jobs,
                       const std::function<void()>& meanwhile)>
        sideBySide;
};

// Probes every place as the window's version command would, with its search limited to
// that place: the handshake on USB; on a serial port the probe at the four rates, then
// (with `versions`) the version query, which waits half a second on RS232. The serial ports are
// probed side by side, each on a thread of its own, so a survey of 16 silent ports takes one port's
// 0.8 s, not 12.8 s. Reports come in the order of `places`.
[[nodiscard]] std::vector<PlaceReport> SurveyPlaces(std::span<const ReaderPlace> places,
                                                    const SurveyDevices& devices,
                                                    bool versions = true);

}  // namespace rq
