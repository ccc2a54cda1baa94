// rq4720-sim: a simulated RQ-4720 reader on a pseudo-terminal, for trying the tool's
// RS232 paths without hardware.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "PtyReader.h"
#include "SimOptions.h"

namespace {

using rq::sim::PtyReader;
using rq::sim::ReaderModel;

// Removes the symbolic link it made when the program ends.
class TerminalLink {
  public:
    explicit TerminalLink(std::string path) : path_(std::move(path)) {}
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;
    ~TerminalLink() {
        std::error_code ignored;
        if (made_) {
            std::filesystem::remove(path_, ignored);
        }
    }

    bool make(const std::string& target) {
        std::error_code error;
        if (std::filesystem::is_symlink(path_, error)) {
            std::filesystem::remove(path_, error);
        }
        std::filesystem::create_symlink(target, path_, error);
        if (error) {
            std::cerr << "rq4720-sim: cannot make " << path_ << ": " << error.message() << "\n";
            return false;
        }
        made_ = true;
        return true;
    }

  private:
    std::string path_;
    bool made_ = false;
};

// An iButton ID typed on standard input is placed on the reader; an empty line takes it
// away again.
void HandleInputLine(PtyReader& reader, std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    reader.withReader([&](ReaderModel& model) {
        if (line.empty()) {
            model.removeIButton(PtyReader::Now());
        } else {
            model.placeIButtonId(line, PtyReader::Now());
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = rq::sim::ParseOptions(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "rq4720-sim: " << parsed.error << "\nTry rq4720-sim --help.\n";
        return 2;
    }
    const rq::sim::SimOptions& options = parsed.options;
    if (options.help) {
        std::cout << rq::sim::Usage();
        return 0;
    }

    // Signals are taken by the main loop only; the reader's thread inherits the mask.
    // A shell starting the program in the background may have set them to be ignored.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const rq::sim::UniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC));

    try {
        PtyReader reader(options.config, options.faults);
        if (options.verbose) {
            reader.withReader([](ReaderModel& model) {
                model.setTrace(
                    [](std::string_view text) { std::cerr << "rq4720-sim: " << text << "\n"; });
            });
        }
        TerminalLink link(options.link);
        if (!options.link.empty() && !link.make(reader.slavePath())) {
            return 1;
        }
        const std::string shown = options.link.empty() ? reader.slavePath() : options.link;
        std::cout << "rq4720-sim: reader on " << shown << " (revision "
                  << (options.config.revision == rq::sim::Revision::A ? "A" : "B") << ", "
                  << rq::sim::BaudForCode(options.config.settings[0]) << " baud)\n"
                  << "rq4720-sim: start the tool with RQ4720_SERIAL_PORTS=" << shown
                  << " (the reader is then COM1); Ctrl+C stops the reader" << std::endl;

        bool readInput = true;
        std::string pending;
        for (;;) {
            std::array<pollfd, 2> fds{pollfd{signalFd.get(), POLLIN, 0},
                                      pollfd{STDIN_FILENO, POLLIN, 0}};
            if (poll(fds.data(), readInput ? 2 : 1, -1) < 0) {
                continue;
            }
            if (fds[0].revents & POLLIN) {
                break;
            }
            if (readInput && (fds[1].revents & (POLLIN | POLLHUP))) {
                std::array<char, 256> chunk{};
                const auto count = read(STDIN_FILENO, chunk.data(), chunk.size());
                if (count <= 0) {
                    readInput = false;  // no input: keep running until stopped
                    continue;
                }
                pending.append(chunk.data(), static_cast<std::size_t>(count));
                for (auto end = pending.find('\n'); end != std::string::npos;
                     end = pending.find('\n')) {
                    HandleInputLine(reader, pending.substr(0, end));
                    pending.erase(0, end + 1);
                }
            }
        }
        std::cout << "rq4720-sim: stopped" << std::endl;
    } catch (const std::system_error& error) {
        std::cerr << "rq4720-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
