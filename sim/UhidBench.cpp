#include "UhidBench.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include "ImageCheck.h"
#include "UhidReader.h"

namespace rq::sim {
namespace {

std::mutex outputMutex;

}  // namespace

int RunUhidReaders(const SimOptions& options, int signalFd) {
    const auto check = ImageCheck::Load(options.checkImage);
    if (!check) {
        std::cerr << "rq4720-sim: cannot read " << options.checkImage << "\n";
        return 1;
    }
    std::vector<std::unique_ptr<UhidReader>> readers;
    try {
        for (int i = 0; i < options.count; ++i) {
            char serial[16];
            std::snprintf(serial, sizeof serial, "SIM%04d", i + 1);
            UhidReader::Setup setup{.serialNumber = serial,
                                    .unplugAfterFrames = options.faults.unplugAfterFrames,
                                    .replugAfter = std::chrono::seconds(1),
                                    .onImage = {}};
            const std::string name = serial;
            setup.onImage = [name, &check](const Bytes& image, Duration transfer) {
                const std::lock_guard lock(outputMutex);
                std::cout << "rq4720-sim: " << name << ": " << check->verdict(image, transfer)
                          << std::endl;
            };
            const auto config = BenchReaderConfig(options.config, i, options.count);
            readers.push_back(
                std::make_unique<UhidReader>(config, options.faults, std::move(setup)));
            if (options.verbose) {
                readers.back()->withReader([name](ReaderModel& model) {
                    model.setTrace([name](std::string_view text) {
                        const std::lock_guard lock(outputMutex);
                        std::cerr << "rq4720-sim " << name << ": " << text << "\n";
                    });
                });
            }
            const std::lock_guard lock(outputMutex);
            std::cout << "rq4720-sim: USB reader " << name << " (revision "
                      << (config.revision == Revision::A ? "A" : "B") << ", version "
                      << config.version << ")" << std::endl;
        }
    } catch (const std::system_error& error) {
        std::cerr << "rq4720-sim: " << error.what()
                  << " (the kernel needs uhid: modprobe uhid; and access to /dev/uhid)\n";
        return 1;
    }
    std::cout << "rq4720-sim: the tool finds them on USB; Ctrl+C stops the readers" << std::endl;
    for (;;) {
        signalfd_siginfo info{};
        if (::read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            continue;
        }
        if (info.ssi_signo != SIGUSR1) {
            break;
        }
        for (const auto& reader : readers) {
            reader->unplug();
        }
        const std::lock_guard lock(outputMutex);
        std::cout << "rq4720-sim: unplugged" << std::endl;
    }
    readers.clear();
    std::cout << "rq4720-sim: stopped" << std::endl;
    return 0;
}

}  // namespace rq::sim
