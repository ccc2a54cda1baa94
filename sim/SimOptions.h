#pragma once

#include <span>
#include <string>
#include <string_view>

#include "Faults.h"
#include "ReaderConfig.h"

namespace rq::sim {

// What the rq4720-sim command line asks for.
struct SimOptions {
    ReaderConfig config;
    Faults faults;
    std::string link;        // a symbolic link to make to the terminal, if any
    std::string saveImage;   // where each image a flash delivers is written, if anywhere
    int count = 1;           // readers, each on a terminal of its own (a bench)
    int silent = 0;          // more terminals with nothing behind them
    bool usb = false;        // readers on the machine's USB bus through /dev/uhid
    std::string checkImage;  // the image each flash must deliver, if any
    bool verbose = false;
    bool help = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the arguments were understood
};

// The arguments after the program name.
[[nodiscard]] ParsedOptions ParseOptions(std::span<const std::string_view> arguments);
// One "--fault" text, e.g. "silent-after=3" or "wrong-byte=5:171"; the error or empty.
[[nodiscard]] std::string ApplyFault(std::string_view text, Faults& faults);
[[nodiscard]] std::string Usage();

// Reader `index` (from 0) of a bench of `count`: the first is `base`; the others run at
// the next rates in turn, every third is of revision A, and each carries its number in
// its version text, so a log tells them apart.
[[nodiscard]] ReaderConfig BenchReaderConfig(const ReaderConfig& base, int index, int count);

}  // namespace rq::sim
