#pragma once

#include <optional>
#include <string>

#include "SimTypes.h"

namespace rq::sim {

// The image a flash must deliver (rq4720-sim --check-image): read once, then compared
// with what each flash delivered.
class ImageCheck {
  public:
    // Empty path: no file, and each flash is only counted.
    [[nodiscard]] static std::optional<ImageCheck> Load(const std::string& path);
    // One line for the log: the received length, whether it is the file byte for byte or
    // where it first differs, and the transfer's time as the reader saw it.
    [[nodiscard]] std::string verdict(const Bytes& received, Duration transfer) const;

  private:
    [[nodiscard]] std::string describe(const Bytes& received) const;

    std::string path_;
    Bytes expected_;
};

}  // namespace rq::sim
