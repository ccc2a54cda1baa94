#pragma once

#include "SimOptions.h"

namespace rq::sim {

// rq4720-sim --usb: the readers on this machine's USB bus until a signal on `signalFd`
// (a signalfd for SIGINT, SIGTERM and SIGUSR1) stops them; SIGUSR1 unplugs them for a
// moment. Returns the program's exit status.
int RunUhidReaders(const SimOptions& options, int signalFd);

}  // namespace rq::sim
