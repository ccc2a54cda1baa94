#pragma once

#include <string>
#include <vector>

#include "platform/SerialPortMap.h"

namespace rq {

// The serial ports as the search and `list` see them now (one file per system).
struct PresentSerialPorts {
    SerialPortMap map;                 // COM1 to COM16
    std::vector<std::string> leftOut;  // there, but past the sixteenth: no number reaches them
    bool configured = false;           // the map comes from RQ4720_SERIAL_PORTS
    // Windows: COM ports present above COM16. The search leaves them out; a command given
    // such a port by its number (--reader com23) reaches it.
    std::vector<int> beyondSearch;
};

// RQ4720_SERIAL_PORTS, else the system's serial devices: on Linux the devices found in
// their stable order, on Windows COMn at COM n where present.
[[nodiscard]] PresentSerialPorts CurrentSerialPorts();

// CurrentSerialPorts().map.
[[nodiscard]] SerialPortMap CurrentSerialPortMap();

}  // namespace rq
