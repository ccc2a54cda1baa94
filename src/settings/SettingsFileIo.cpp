#include "settings/SettingsFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <utility>

namespace rq {
namespace {

// Closes a descriptor when it goes out of scope, unless released.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    [[nodiscard]] int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// The file a save really replaces: the target of a symbolic link that points at an
// existing file, else the path itself.
std::string ResolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::array<char, PATH_MAX> resolved{};
        if (::realpath(path.c_str(), resolved.data()) != nullptr) {
            return resolved.data();
        }
    }
    return path;
}

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

// Makes the rename itself durable; a failure here no longer endangers any contents.
void SyncDirectory(const std::string& directory) {
    const Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
}

// Writes, keeps the old permissions, flushes and closes the temporary file.
int FillTemporary(Descriptor& temp, const std::string& target,
                  std::span<const std::uint8_t> bytes) {
    if (!WriteAll(temp.get(), bytes)) {
        return errno;
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::fchmod(temp.get(), old.st_mode & 07777) != 0) {
        return errno;
    }
    if (::fsync(temp.get()) != 0) {
        return errno;
    }
    if (::close(temp.release()) != 0) {
        return errno;
    }
    return 0;
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

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

InputFile::~InputFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::size_t InputFile::read(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer.data(), buffer.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

int ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string target = ResolveTarget(path);
    if (target.empty() || target.back() == '/') {
        return EISDIR;
    }
    // Renaming over a file needs only the right to write the directory, so a file we
    // may not write would be replaced all the same; refuse it as opening it would.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
        return errno;
    }
    std::string tempPath;
    Descriptor temp(CreateTemporaryBeside(target, tempPath));
    if (temp.get() < 0) {
        return errno;
    }
    int error = FillTemporary(temp, target, bytes);
    if (error == 0 && ::rename(tempPath.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return error;
    }
    SyncDirectory(DirectoryOf(target));
    return 0;
}

}  // namespace rq
