#pragma once

// A pseudo-terminal pair in raw mode: the tool opens the slave by its path through the
// real Qt binding; the benchmark plays the far end on the master.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace rq::bench {

class Pty {
  public:
    Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            throw std::runtime_error("cannot open a pseudo-terminal");
        }
        termios raw{};
        tcgetattr(master_, &raw);
        cfmakeraw(&raw);
        tcsetattr(master_, TCSANOW, &raw);
        path_ = ptsname(master_);
    }
    ~Pty() { close(master_); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] int master() const { return master_; }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    int master_;
    std::string path_;
};

}  // namespace rq::bench
