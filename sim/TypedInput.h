#pragma once

#include <string>
#include <vector>

namespace rq::sim {

// The iButton IDs typed on rq4720-sim's standard input, one a line. A terminal is read
// only while the program's process group is the terminal's foreground group: started
// with `&` from an interactive shell, the program leaves the terminal to the shell (a
// read from the background would stop it with SIGTTIN) and reads it again after `fg`.
// A file, pipe or FIFO is read whenever it has something.
class TypedInput {
  public:
    enum class State {
        Readable,  // poll the descriptor
        NotNow,    // someone else's terminal for now: look again a little later
        Closed,    // at its end, or gone with a hang-up
    };

    explicit TypedInput(int fd) : fd_(fd) {}

    [[nodiscard]] State state() const;
    // After poll() reported the descriptor: the complete lines read this time.
    [[nodiscard]] std::vector<std::string> read();

  private:
    int fd_;
    bool closed_ = false;
    std::string pending_;
};

}  // namespace rq::sim
