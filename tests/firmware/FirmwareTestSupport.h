#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "SimTypes.h"

namespace rq::testing {

// A fresh directory for one test, removed with everything in it afterwards.
class FirmwareDir {
  public:
    FirmwareDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rq-fw-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    FirmwareDir(const FirmwareDir&) = delete;
    FirmwareDir& operator=(const FirmwareDir&) = delete;
    ~FirmwareDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_ / "image.bin", std::filesystem::perms::owner_all,
                                     ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    // Writes the image as image.bin and returns its path.
    [[nodiscard]] std::string write(const sim::Bytes& image) const {
        const auto path = path_ / "image.bin";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        return path.string();
    }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace rq::testing
