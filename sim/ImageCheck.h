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
    // One line for the log: the received length, and whether it is the file byte for byte
    // or where it first differs.
    [[nodiscard]] std::string verdict(const Bytes& received) const;

  private:
    std::string path_;
    Bytes expected_;
};

}  // namespace rq::sim
