#pragma once

#include "ReaderModel.h"
#include "SimHidLibrary.h"

namespace rq::sim {

// One reader on a simulated USB bus, owning both: what a demonstration or training mode
// puts in place of the real HID library. Runs on whatever clock it is given; with the
// real clock the reader's replies, read timeouts and reboot take real time.
class SimulatedUsbReader {
  public:
    explicit SimulatedUsbReader(Clock& clock, ReaderConfig config = {})
        : reader_(std::move(config)), library_(clock), clock_(clock) {
        library_.attach(reader_);
    }
    SimulatedUsbReader(const SimulatedUsbReader&) = delete;
    SimulatedUsbReader& operator=(const SimulatedUsbReader&) = delete;

    [[nodiscard]] HidLibrary& library() { return library_; }
    [[nodiscard]] SimHidLibrary& simLibrary() { return library_; }
    [[nodiscard]] ReaderModel& reader() { return reader_; }
    // An iButton is placed on the reader and taken away: the characters it types.
    [[nodiscard]] Bytes typeIButtonId(std::string_view id) {
        return reader_.typedForIButtonId(id, clock_.now());
    }

  private:
    ReaderModel reader_;  // declared first: the library refers to it
    SimHidLibrary library_;
    Clock& clock_;
};

}  // namespace rq::sim
