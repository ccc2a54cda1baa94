// Opening and replacing files with the wide calls of Windows: names are UTF-8 inside the
// program and UTF-16 for the system, so every name a folder can hold works.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "core/FileAccess.h"
#include "core/Text.h"
#include "platform/WindowsFileNames.h"

namespace rq {
namespace {

std::wstring Wide(std::string_view utf8) {
    const std::u16string units = text::ToUtf16(utf8);
    return {units.begin(), units.end()};
}

// Closes a handle when it goes out of scope, unless released.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&&) = delete;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
    }
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }
    // Closes now: a failing close can lose what was written.
    bool close() { return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }

  private:
    HANDLE handle_;
};

int LastError() {
    const DWORD error = ::GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

// Writes everything to a disk file, flushes it to the disk and closes; 0 or the system's
// error code. The handle is closed in every case when this returns, so that the file
// can be deleted or moved next.
int WriteFlushAndClose(Handle& file, std::span<const std::uint8_t> bytes) {
    int error = 0;
    while (!bytes.empty() && error == 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            error = LastError();
        }
        bytes = bytes.subspan(written);
    }
    if (error == 0 && !::FlushFileBuffers(file.get())) {
        error = LastError();
    }
    if (!file.close() && error == 0) {
        error = LastError();
    }
    return error;
}

FileWriteResult NotAFile(const std::string& path, std::string_view what) {
    return {ERROR_BAD_FILE_TYPE, text::PathForDisplay(path) + " is " + std::string(what) +
                                     ", not a file: nothing was written to it."};
}

// A file a new file may stand in for: an existing, plain, writable file with one name
// (replacing a file with a second hard link would part the two), or no file yet.
enum class Target { Missing, Replaceable, Other, NotAFile };

Target Classify(const std::wstring& path) {
    const Handle file(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));  // a folder opens only with the latter
    if (!file.valid()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Target::Missing : Target::Other;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return Target::NotAFile;  // a pipe, or a device under a name of its own
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        return Target::Other;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return Target::NotAFile;
    }
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    return (info.dwFileAttributes & kNotPlain) == 0 && info.nNumberOfLinks == 1
               ? Target::Replaceable
               : Target::Other;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        // "C:name" lies in the drive's current directory, "name" in ours.
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L".";
    }
    return path.substr(0, slash + 1);
}

// Creates a new file beside `target`, or returns an invalid handle with the error kept.
Handle CreateTemporaryBeside(const std::wstring& target, std::wstring& tempPath) {
    static std::mt19937 generator{std::random_device{}()};
    const std::wstring stem = DirectoryOf(target) + L"~rq4720-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + std::to_wstring(generator() % 1'000'000'000u) + L".tmp";
        Handle file(::CreateFileW(tempPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid() || ::GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return Handle(INVALID_HANDLE_VALUE);
}

bool DiskFull(int error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// The new contents in a file beside the target, then put in its place in one step:
// ReplaceFileW keeps the old file's attributes, security (ACL) and creation time. The
// old file goes to a backup name meanwhile, so that a replace that fails halfway can put
// it back: the target always ends with its old or its new contents, never with the new
// ones only in a temporary file. The result as ReplaceFileContents gives it, or nullopt
// when the target is untouched and a plain write should decide.
std::optional<FileWriteResult> ReplaceByNewFile(const std::wstring& target, bool exists,
                                                std::span<const std::uint8_t> bytes) {
    std::wstring tempPath;
    Handle temp = CreateTemporaryBeside(target, tempPath);
    if (!temp.valid()) {
        // A full disk would lose the file to a plain write that empties it first.
        const int error = LastError();
        return DiskFull(error) ? std::optional<FileWriteResult>({error, {}}) : std::nullopt;
    }
    if (const int error = WriteFlushAndClose(temp, bytes); error != 0) {
        ::DeleteFileW(tempPath.c_str());
        return DiskFull(error) ? std::optional<FileWriteResult>({error, {}}) : std::nullopt;
    }
    if (!exists) {
        if (::MoveFileExW(tempPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return FileWriteResult{};
        }
        ::DeleteFileW(tempPath.c_str());
        return std::nullopt;
    }
    const std::wstring backupPath = tempPath + L".old";
    if (::ReplaceFileW(target.c_str(), tempPath.c_str(), backupPath.c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr)) {
        ::DeleteFileW(backupPath.c_str());
        return FileWriteResult{};
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file already lies under the backup name and the new one could not take
        // its place: the old one goes back.
        if (!::MoveFileExW(backupPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            const int moveError = LastError();
            ::DeleteFileW(tempPath.c_str());  // the program still holds the new settings
            const std::u16string backup(backupPath.begin(), backupPath.end());
            return FileWriteResult{moveError, "The old contents of the file were left in " +
                                                  text::FromUtf16(backup) + "."};
        }
    }
    // Otherwise (in use, refused, not supported, ERROR_UNABLE_TO_MOVE_REPLACEMENT) the
    // old file still has its name and contents.
    ::DeleteFileW(tempPath.c_str());
    return std::nullopt;
}

FileWriteResult WriteInPlace(const std::string& utf8, const std::wstring& path,
                             std::span<const std::uint8_t> bytes) {
    // An existing file is emptied and keeps its attributes; only a missing one is made.
    const auto open = [&path](DWORD disposition) {
        return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE raw = open(TRUNCATE_EXISTING);
    if (raw == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        raw = open(CREATE_NEW);
    }
    Handle file(raw);
    if (!file.valid()) {
        return {LastError(), {}};
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return NotAFile(utf8, "a device");  // nothing written: the handle closes unused
    }
    return {WriteFlushAndClose(file, bytes), {}};
}

}  // namespace

std::optional<InputFile> InputFile::open(const std::string& path, int& error) {
    // A device name is not opened at all: opening COM1 would take the port from its user.
    if (WindowsNonFileReason(path)) {
        error = EINVAL;
        return std::nullopt;
    }
    const std::wstring wide = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = EISDIR;
        return std::nullopt;
    }
    const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    InputFile file(fd);
    // A device (CON, COM1, a pipe) could wait for input forever and hang the window.
    if (::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        error = EINVAL;
        return std::nullopt;
    }
    error = 0;
    return file;
}

FileWriteResult ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    // Judged by the name before anything is opened: a device name opens the device.
    if (const auto reason = WindowsNonFileReason(path)) {
        return NotAFile(path, *reason);
    }
    const std::wstring wide = Wide(path);
    const Target target = Classify(wide);
    if (target == Target::NotAFile) {
        return NotAFile(path, "a device or a folder");
    }
    if (target != Target::Other) {
        if (auto result = ReplaceByNewFile(wide, target == Target::Replaceable, bytes)) {
            return *result;
        }
    }
    return WriteInPlace(path, wide, bytes);
}

}  // namespace rq
