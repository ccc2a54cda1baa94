// rq4720-cli: the reader commands of the window for scripts and production benches.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/RunCommandLine.h"
#include "platform/HidapiLibrary.h"
#include "platform/ProcessConsole.h"
#include "platform/SteadyClock.h"
#include "platform/SystemSerialPort.h"

int main(int argc, char* argv[]) {
    // Taken before Qt sees them: the arguments are file names, not Qt options. UTF-8 on
    // every system, so that a name outside the ANSI code page saves under itself.
    const std::vector<std::string> utf8 = rq::Utf8Arguments(argc, argv);
    const std::vector<std::string_view> arguments(utf8.begin(), utf8.end());
    rq::PrepareConsoleOutput();
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);  // the serial port's notifications need its loop

    rq::HidapiLibrary hid;
    rq::SystemSerialPort serial;
    rq::SteadyClock clock;  // no window to keep painted
    rq::cli::Console console{std::cout, std::cerr, std::cin, rq::IsConsole(1), rq::IsConsole(0)};
    return rq::cli::RunCommandLine(arguments, {hid, serial, clock, &hid}, console);
}
