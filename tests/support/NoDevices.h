#pragma once

#include "core/NoDevices.h"

namespace rq::testing {

using rq::NoHidLibrary;
using rq::NoSerialPort;

}  // namespace rq::testing
