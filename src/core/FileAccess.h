#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace rq {

// The files the settings file is read from and written to: declared here, below every
// layer that uses them, and bound to the system's calls by src/platform/FileAccess*.cpp
// (one file per system, in the library rq_platform_files). Paths are the system's bytes
// for them; UTF-8 on Windows, whose wide calls take any name.

// A file opened for reading. Reads end at the end of the file and at the first failed
// read. Special files never block: a pipe without data reads as ended.
class InputFile {
  public:
    // The open file, or nullopt with `error` set to the system's error number. A directory
    // fails with EISDIR; on Windows a device (CON, COM1), which could block, with EINVAL,
    // and a device name is not opened at all.
    static std::optional<InputFile> open(const std::string& path, int& error);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Fills the start of `buffer`; 0 at the end or after a failed read.
    std::size_t read(std::span<std::uint8_t> buffer);

  private:
    explicit InputFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_ = -1;
};

// What became of ReplaceFileContents.
struct FileWriteResult {
    int error = 0;  // 0 when written, else the system's error number of the failing step
    // A status line where the number alone would not tell: a target that is no disk
    // file, or where the new contents were left when they could not take the file's
    // place. Empty otherwise.
    std::string detail;
};

// Replaces the contents of the file at `path` with `bytes`, or creates it. A target that
// is no disk file (a device, a pipe, a directory; on Windows also a device name such as
// NUL or COM1.kxs, which names the device in every folder, and a name with ':', an
// alternate stream) is refused before anything is written.
//
// Where nobody could tell the difference, the bytes go to a new file beside it, flushed
// to the disk and renamed over it, so that the file holds either its old or its new
// contents: a regular file of ours with one link and no ACL or extended attribute,
// which we may write, in a directory we may write (the new file takes its mode and
// group). Everything else is written in place like any program writes a file: emptied,
// then written; it keeps its owner, links and attributes, and a dangling symbolic link
// creates its target. The error is that of the first failing step, the final flush and
// close included.
// On Windows the new file replaces a plain, writable file with one name through
// ReplaceFileW, which keeps the old file's attributes and ACL, or takes the name of a
// missing one; a file that cannot be replaced so is written in place as above. The
// error is then the system's error code (GetLastError).
[[nodiscard]] FileWriteResult ReplaceFileContents(const std::string& path,
                                                  std::span<const std::uint8_t> bytes);

}  // namespace rq
