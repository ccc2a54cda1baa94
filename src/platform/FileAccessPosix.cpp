// Opening and replacing files with the POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "core/FileAccess.h"
#include "core/Text.h"
#include "platform/FileDescriptor.h"

namespace rq {
namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A target that is no regular file: a device (writing into /dev/ttyS0 or a printer
// would send the settings to it), a pipe or socket (whoever reads it takes them), a
// directory. Nothing is written to it, and the status line says what it is.
std::optional<FileWriteResult> Refusal(const std::string& path, mode_t mode) {
    if (S_ISREG(mode)) {
        return std::nullopt;
    }
    const char* kind = S_ISDIR(mode)                    ? "a directory"
                       : S_ISFIFO(mode)                 ? "a pipe"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "no regular file";
    return FileWriteResult{
        S_ISDIR(mode) ? EISDIR : EINVAL,
        text::PathForDisplay(path) + " is " + kind + ", not a file: nothing was written to it."};
}

// Judged with the effective user, who does the writing.
bool MayWrite(const std::string& path, int how = W_OK) {
    return ::faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0;
}

bool HasExtendedAttributes(const std::string& path) {
    return ::listxattr(path.c_str(), nullptr, 0) > 0;  // ACLs are attributes too
}

// A file that a new file may replace by a rename: `old` is empty for a file yet to be
// created.
struct RenameTarget {
    std::string path;
    std::optional<struct stat> old;
};

std::optional<RenameTarget> RenameTargetFor(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT || !MayWrite(DirectoryOf(path), W_OK | X_OK)) {
            return std::nullopt;
        }
        return RenameTarget{path, std::nullopt};
    }
    std::string target = path;
    if (S_ISLNK(info.st_mode)) {
        // A dangling link or a loop is left to the plain write.
        std::array<char, PATH_MAX> resolved{};
        if (::realpath(path.c_str(), resolved.data()) == nullptr ||
            ::stat(resolved.data(), &info) != 0) {
            return std::nullopt;
        }
        target = resolved.data();
    }
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1 || info.st_uid != ::geteuid() ||
        !MayWrite(target) || !MayWrite(DirectoryOf(target), W_OK | X_OK) ||
        HasExtendedAttributes(target)) {
        return std::nullopt;
    }
    return RenameTarget{target, info};
}

// Creates a new file beside `target`; the mode 0666 lets the umask decide as for any new
// file. Returns the descriptor and fills `tempPath`, or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
    static std::mt19937 generator{std::random_device{}()};
    const std::string stem = DirectoryOf(target) + "/." + NameOf(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + std::to_string(generator() % 1'000'000'000u) + ".tmp";
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Gives the new file the old one's group and mode (the group first: changing it clears
// the set-ID bits).
bool TakeOverGroupAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        return false;
    }
    if (now.st_gid != old.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        return false;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Writes, flushes to the disk and closes a regular file; 0 or the error number of the
// failing step. The descriptor is closed in every case when this returns.
int WriteFlushAndClose(Descriptor& fd, std::span<const std::uint8_t> bytes) {
    int error = 0;
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (::close(fd.release()) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// Makes the rename itself durable; a failure here no longer endangers any contents.
void SyncDirectory(const std::string& directory) {
    const Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
}

// The result as ReplaceFileContents gives it, or nullopt when no new file could be made
// to stand in for the old one (no room for the temporary name, a group not ours); the
// target is then untouched.
std::optional<int> ReplaceByRename(const RenameTarget& target,
                                   std::span<const std::uint8_t> bytes) {
    std::string tempPath;
    Descriptor temp(CreateTemporaryBeside(target.path, tempPath));
    if (temp.get() < 0) {
        // Nothing has changed: a plain write decides (a name too long for the suffix),
        // unless the disk is full, where emptying the file first would lose it.
        const int error = errno;
        return error == ENOSPC || error == EDQUOT ? std::optional<int>(error) : std::nullopt;
    }
    if (target.old && !TakeOverGroupAndMode(temp.get(), *target.old)) {
        ::unlink(tempPath.c_str());
        return std::nullopt;
    }
    int error = WriteFlushAndClose(temp, bytes);
    if (error == 0 && ::rename(tempPath.c_str(), target.path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return error;
    }
    SyncDirectory(DirectoryOf(target.path));
    return 0;
}

FileWriteResult WriteInPlace(const std::string& path, std::span<const std::uint8_t> bytes) {
    // An existing file is opened without O_CREAT, which the kernel may refuse for another
    // user's file in a sticky directory; non-blocking, so that a pipe without a reader
    // fails instead of hanging the window.
    constexpr int kFlags = O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    int raw = ::open(path.c_str(), kFlags);
    if (raw < 0 && errno == ENOENT) {
        raw = ::open(path.c_str(), kFlags | O_CREAT, 0666);
    }
    Descriptor fd(raw);
    if (fd.get() < 0) {
        return {errno, {}};
    }
    // What the name led to once open: a device put there after the first look is refused
    // all the same (opening it wrote nothing; O_TRUNC leaves devices and pipes alone).
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return {errno, {}};
    }
    if (auto refusal = Refusal(path, info.st_mode)) {
        return *refusal;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return {errno, {}};
    }
    return {WriteFlushAndClose(fd, bytes), {}};
}

}  // namespace

std::optional<InputFile> InputFile::open(const std::string& path, int& error) {
    // Non-blocking, so that choosing a pipe cannot hang the window.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        error = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return std::nullopt;
    }
    error = 0;
    return InputFile(fd.release());
}

FileWriteResult ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    // Judged before anything is opened: opening a serial device raises its modem lines.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (auto refusal = Refusal(path, info.st_mode)) {
            return *refusal;
        }
    }
    if (const auto target = RenameTargetFor(path)) {
        if (const auto result = ReplaceByRename(*target, bytes)) {
            return {*result, {}};
        }
    }
    return WriteInPlace(path, bytes);
}

}  // namespace rq
