#pragma once

#include <span>
#include <string_view>

#include "cli/Console.h"
#include "core/Clock.h"
#include "core/HidInventory.h"
#include "core/HidLibrary.h"
#include "core/SerialPort.h"

namespace rq::cli {

// The devices the reader commands work on: hidapi, Qt SerialPort and the steady clock in
// the program, simulated readers in the tests.
struct Devices {
    HidLibrary& hid;
    SerialPort& serial;
    Clock& clock;
    // Where each USB device is, for list and --reader; none: no USB device is listed.
    HidInventory* inventory = nullptr;
};

// rq4720-cli with `arguments` (without the program name): runs one reader command over
// the window's own operations and returns the exit status (see ExitStatus.h). Needs a
// QCoreApplication for the serial port's notifications.
[[nodiscard]] int RunCommandLine(std::span<const std::string_view> arguments, Devices devices,
                                 Console& console);

}  // namespace rq::cli
