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
    // fails with EISDIR; on Windows a device (CON, COM1), which could block, with EINVAL.
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

// Replaces the contents of the file at `path` with `bytes`, or creates it. Where nobody
// could tell the difference, the bytes go to a new file beside it, flushed to the disk
// and renamed over it, so that the file holds either its old or its new contents: a
// regular file of ours with one link and no ACL or extended attribute, which we may write,
// in a directory we may write (the new file takes its mode and group). Everything else is
// written in place like any program writes a file: emptied, then written; it keeps its
// owner, links and attributes, and a dangling symbolic link creates its target. Returns
// 0, or the system's error number of the first failing step, the final flush and close
// included.
// On Windows (UTF-16 names) the new file replaces a plain, writable file with one name
// through ReplaceFileW, which keeps the old file's attributes and ACL, or takes the name
// of a missing one; a file that cannot be replaced so is written in place as above. The
// error is then the system's error code (GetLastError).
int ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace rq
