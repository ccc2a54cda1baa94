#pragma once

// The program's serial port on this system: one binding per system, both behind the
// SerialPort interface.
#ifdef _WIN32
#include "platform/WinSerialPort.h"
namespace rq {
using SystemSerialPort = WinSerialPort;
}
#else
#include "platform/QtSerialPort.h"
namespace rq {
using SystemSerialPort = QtSerialPort;
}
#endif
