// rq4720-cli: the reader commands of the window for scripts and production benches.
#include <unistd.h>

#include <QCoreApplication>

#include <iostream>
#include <string_view>
#include <vector>

#include "cli/RunCommandLine.h"
#include "platform/HidapiLibrary.h"
#include "platform/SteadyClock.h"
#include "platform/SystemSerialPort.h"

int main(int argc, char* argv[]) {
    // Taken before Qt sees them: the arguments are file names, not Qt options.
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);  // the serial port's notifications need its loop

    rq::HidapiLibrary hid;
    rq::SystemSerialPort serial;
    rq::SteadyClock clock;  // no window to keep painted
    rq::cli::Console console{std::cout, std::cerr, std::cin, ::isatty(STDOUT_FILENO) == 1,
                             ::isatty(STDIN_FILENO) == 1};
    return rq::cli::RunCommandLine(arguments, {hid, serial, clock, &hid}, console);
}
