#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "settings/SettingsFileReader.h"

namespace rq {

// A file opened for reading. Reads end at the end of the file and at the first failed
// read. Special files never block: a pipe without data reads as ended.
class InputFile final : public ByteSource {
  public:
    // The open file, or nullopt with `error` set to the system's error number. A directory
    // fails with EISDIR.
    static std::optional<InputFile> open(const std::string& path, int& error);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() override;

    std::size_t read(std::span<std::uint8_t> buffer) override;

  private:
    explicit InputFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_ = -1;
};

// Replaces the contents of the file at `path` with `bytes`, or creates it. The bytes go
// to a new file in the same directory, which is flushed to the disk and then renamed over
// the target, so the target holds either its old or its new contents, never a part. An
// existing file keeps its permissions; a symbolic link is followed. An existing file we
// may not write is left alone (EACCES or EROFS). Returns 0, or the system's error number
// of the first failing step (the temporary file is then removed).
int ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace rq
