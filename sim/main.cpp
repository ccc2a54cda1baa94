// rq4720-sim: a simulated RQ-4720 reader on a pseudo-terminal, for trying the tool's
// RS232 paths without hardware.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "ImageCheck.h"
#include "PtyReader.h"
#include "SimOptions.h"
#include "TypedInput.h"
#include "core/Text.h"
#ifdef __linux__
#include "UhidBench.h"
#endif

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

void SaveImage(const std::string& path, const rq::sim::Bytes& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::cerr << "rq4720-sim: cannot write " << path << "\n";
    }
}

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

// A terminal where nothing answers.
rq::sim::Faults SilentFaults(rq::sim::Faults faults) {
    faults.silentAfterFrames = 0;
    return faults;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = rq::sim::ParseOptions(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "rq4720-sim: " << rq::text::TerminalSafe(parsed.error)
                  << "\nTry 'rq4720-sim --help' for more information.\n";
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
    // The terminal that started it closing ends it too, links removed; under nohup not.
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    if (hangUp.sa_handler != SIG_IGN) {
        sigaddset(&signals, SIGHUP);
    }
    // In the background of a shell: a stray terminal read fails instead of stopping the
    // program, and its lines go out even under `stty tostop`.
    signal(SIGTTIN, SIG_IGN);
    signal(SIGTTOU, SIG_IGN);
    if (options.usb) {
        sigaddset(&signals, SIGUSR1);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const rq::sim::UniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC));

    if (options.usb) {
#ifdef __linux__
        return rq::sim::RunUhidReaders(options, signalFd.get());
#else
        std::cerr << "rq4720-sim: --usb needs Linux (uhid)\n";
        return 1;
#endif
    }

    try {
        // The readers, then the terminals where nothing answers.
        std::vector<std::unique_ptr<PtyReader>> readers;
        for (int i = 0; i < options.count + options.silent; ++i) {
            readers.push_back(std::make_unique<PtyReader>(
                rq::sim::BenchReaderConfig(options.config, i, options.count),
                i < options.count ? options.faults : SilentFaults(options.faults)));
        }
        if (options.verbose || !options.saveImage.empty()) {
            for (std::size_t i = 0; i < readers.size(); ++i) {
                readers[i]->withReader([i, &readers, &options](ReaderModel& model) {
                    const std::string name = readers.size() == 1
                                                 ? std::string("rq4720-sim: ")
                                                 : "rq4720-sim " + std::to_string(i + 1) + ": ";
                    model.setTrace([name, &model, &options](std::string_view text) {
                        if (options.verbose) {
                            std::cerr << name << text << "\n";
                        }
                        if (!options.saveImage.empty() && text.starts_with("flash complete")) {
                            SaveImage(options.saveImage, model.image());
                        }
                    });
                });
            }
        }
        // One reader alone talks as the program always has.
        const bool single = readers.size() == 1 && options.count == 1;
        std::vector<std::unique_ptr<TerminalLink>> links;
        std::string ports;
        for (std::size_t i = 0; i < readers.size(); ++i) {
            std::string shown = readers[i]->slavePath();
            if (!options.link.empty()) {
                shown = single ? options.link : options.link + std::to_string(i + 1);
                links.push_back(std::make_unique<TerminalLink>(shown));
                if (!links.back()->make(readers[i]->slavePath())) {
                    return 1;
                }
            }
            ports += (i == 0 ? "" : ":") + shown;
            if (i >= static_cast<std::size_t>(options.count)) {
                std::cout << "rq4720-sim: nothing on " << shown << "\n";
                continue;
            }
            const auto config =
                rq::sim::BenchReaderConfig(options.config, static_cast<int>(i), options.count);
            std::cout << "rq4720-sim: reader on " << shown << " (revision "
                      << (config.revision == rq::sim::Revision::A ? "A" : "B") << ", "
                      << rq::sim::BaudForCode(config.settings[0]) << " baud"
                      << (single ? "" : ", version " + config.version) << ")\n";
        }
        if (single) {
            std::cout << "rq4720-sim: start the tool with RQ4720_SERIAL_PORTS=" << ports
                      << " (the reader is then COM1); Ctrl+C stops the reader" << std::endl;
        } else {
            // On a line of its own, for a script to pick up.
            std::cout << "export RQ4720_SERIAL_PORTS=" << ports << "\n"
                      << "rq4720-sim: start the tool with that variable (COM1, COM2, ... in this "
                         "order); Ctrl+C stops the readers"
                      << std::endl;
        }

        const auto check = rq::sim::ImageCheck::Load(options.checkImage);
        if (!check) {
            std::cerr << "rq4720-sim: cannot read " << options.checkImage << "\n";
            return 1;
        }
        std::vector<int> erasesReported(readers.size(), 0);
        rq::sim::TypedInput typed(STDIN_FILENO);
        for (;;) {
            const auto input = typed.state();
            const bool watchInput = input == rq::sim::TypedInput::State::Readable;
            std::array<pollfd, 2> fds{pollfd{signalFd.get(), POLLIN, 0},
                                      pollfd{STDIN_FILENO, POLLIN, 0}};
            // With --check-image the readers are looked at for a finished flash; while the
            // terminal is another job's, it is looked at again for `fg`.
            const bool lookAgain =
                !options.checkImage.empty() || input == rq::sim::TypedInput::State::NotNow;
            const int ready = poll(fds.data(), watchInput ? 2 : 1, lookAgain ? 200 : -1);
            for (std::size_t i = 0; i < readers.size() && !options.checkImage.empty(); ++i) {
                readers[i]->withReader([&](ReaderModel& model) {
                    if (model.flashComplete() && model.erases() != erasesReported[i]) {
                        erasesReported[i] = model.erases();
                        std::cout << "rq4720-sim: "
                                  << check->verdict(model.image(), model.imageTime()) << std::endl;
                    }
                });
            }
            if (ready <= 0) {
                continue;
            }
            if (fds[0].revents & POLLIN) {
                break;
            }
            if (watchInput && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
                for (const std::string& line : typed.read()) {
                    // An iButton typed goes to every reader of the bench.
                    for (const auto& reader : readers) {
                        HandleInputLine(*reader, line);
                    }
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
